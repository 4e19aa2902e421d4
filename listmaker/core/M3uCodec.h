// Reading and writing the playlist maker's M3U files, without any Windows
// call: the dialog hands texts in and gets texts and entry lists back.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace listforge {

// The file as saved: "#EXTM3U", then one full path per line, CR LF after each.
std::string BuildM3uText(const std::vector<std::string>& paths);

// The entries of an M3U text, relative to the player root. Lines end in CR LF,
// LF alone or CR alone; a leading UTF-8 byte-order mark is skipped; lines
// beginning with '#' are comments. A line holding ":\" is absolute and keeps
// what follows the drive (a drive letter in the file is never used); a line
// beginning with a backslash is relative to the root; any other line is
// relative to m3uFolder (the M3U file's folder below its drive root, empty at a
// root), with "." and ".." resolved. Reading stops at the first line that is
// neither absolute nor followed anywhere by a backslash, so a file of bare
// names gives no entry. Empty lines and lines holding a NUL are not entries.
std::vector<std::string> ParseM3uText(const std::string& text, const std::string& m3uFolder);

// The folder of an M3U file below its drive root, without leading or trailing
// backslash: "E:\LISTS\POP\A.M3U" gives "LISTS\POP", "E:\A.M3U" gives "".
std::string M3uFolderOf(const std::string& m3uPath);

// Root + entry, with a backslash between them when the root has none.
std::string JoinRoot(const std::string& root, const std::string& entry);

// The text after the last backslash.
std::string FileNameOf(const std::string& path);

// The extension test of the music files: "mp3" or "wma" after the last '.',
// without case. Names holding '?' or '*' (characters lost to the code page)
// never qualify: no file of that name can be opened.
bool HasMusicExtension(const std::string& name);

// The paths an open or save dialog returned in its buffer: one path, or (with
// several files chosen) a folder, a NUL and NUL-separated names. fileOffset is
// the dialog's offset of the first name, which tells the two apart: a single
// path has a file name at that offset and no NUL before it.
std::vector<std::string> SplitFileDialogResult(const char* buffer, size_t size, size_t fileOffset);

}  // namespace listforge
