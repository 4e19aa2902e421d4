// The download list as an extended M3U playlist: the text the Save List
// button writes and the entries the Open List button takes back. Windows-free;
// texts are bytes of the ANSI code page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct M3U_ROW {
    int Seconds = 0;
    std::string Path;  // full path on the PC
};

class CDownloadM3u {
public:
    // Longest entry a path buffer of the file calls holds (260 with its
    // terminating zero); longer lines are not entries.
    enum { MAX_ENTRY = 259 };

    // "#EXTM3U", then per row "#EXTINF:<seconds>,<name>" and the path, every
    // line ended by CR LF.
    static std::string Write(const std::vector<M3U_ROW>& rows);

    // The entries of a playlist, in file order. Lines may end in CR LF, LF or
    // CR, and the last one needs no end; lines starting with "#" are comments
    // (the "#EXTM3U" header, "#EXTINF" lines), blank lines are ignored. Paths
    // without a drive resolve against folder (the playlist's own folder,
    // "C:\Lists" or "\\server\share\Lists", whose share is then the root);
    // "/" counts as "\", and "." and ".." are resolved. A line
    // longer than MAX_ENTRY, or one that resolves to nothing usable, is left
    // out.
    static std::vector<std::string> Read(const std::string& bytes, const std::string& folder);

    // The part of a path after its last "\".
    static std::string NameOf(const std::string& path);
    // A WMA file's play time from its size and bit rate (kbit/s, 1024 bits),
    // in 64 bits so that large files do not wrap; 0 without a bit rate.
    static int WmaSeconds(std::uint64_t size, std::uint32_t bitrate);
};
