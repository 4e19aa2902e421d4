// Path, size and number texts of the manager, free of any Windows call, so the
// same rules run in the Windows program and in the native tests. Texts are
// ANSI bytes in the code page given to the constructor; "\" separates folders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fileutil/CodePage.h"

// GetFileKindFlag values. Memory 0 is the player's internal memory, 1 its card.
enum FILE_KIND_FLAG : int {
    FILE_KIND_NONE = 0,
    FILE_KIND_MUSIC = 2,
    FILE_KIND_VOICE = 4,
    FILE_KIND_OTHER = 8,
    FILE_KIND_EXT_MUSIC = 512,
    FILE_KIND_EXT_VOICE = 1024,
    FILE_KIND_EXT_OTHER = 2048,
};

// GetPathKind values.
enum PATH_KIND : int {
    PATH_KIND_EMPTY = 1,
    PATH_KIND_FOLDER = 2,
    PATH_KIND_UNUSABLE = 3,  // wildcard or bare network root: nothing can be copied there
};

class CFileText {
public:
    // The largest path DeleteToRecycleBin accepts: 259 characters and the two
    // terminators fill its 261-byte buffer.
    static constexpr std::size_t RECYCLE_BUFFER_SIZE = 261;

    explicit CFileText(const CCodePage& codePage) : m_codePage(codePage) {}

    std::string GetFileExt(const std::string& path) const;
    std::string GetPathRoot(const std::string& path) const;
    std::string GetFolderPath(const std::string& path) const;
    std::string GetFileName(const std::string& path) const;
    // Appends every non-empty folder name of the path to parts; returns the
    // number of entries parts holds afterwards.
    int SplitPath(const std::string& path, std::vector<std::string>& parts) const;
    int GetPathKind(const std::string& path) const;
    int GetFileKindFlag(int memory, const std::string& path) const;
    // At most maxLength characters of the name followed by "..", keeping the
    // extension when it fits; never splits a double-byte character.
    std::string ShortenName(const std::string& name, int maxLength) const;

    static std::string FormatSizeKB(std::uint32_t bytes);
    static std::string FormatSize(std::int64_t bytes, int roundUpAdder);
    static int ParseInt(const std::string& text, int& value);
    static bool ParseDecimal(const std::string& text, double& value);
    static std::string FormatNumber(int value, int width);

    // File sizes that reach 4 GB stay at the largest 32-bit size instead of
    // wrapping round to a small one.
    static std::uint32_t ClampSize(std::uint64_t bytes);
    // The path with two terminators in a buffer of bufferSize bytes, or false
    // when it is empty, holds a wildcard or does not fit: the shell would
    // otherwise delete something else than the item named.
    static bool MakeDoubleNulPath(const std::string& path, std::size_t bufferSize, std::vector<char>& buffer);

    // Byte position of the last single-byte character ch, or npos.
    std::size_t FindLast(const std::string& text, char ch, std::size_t from = 0) const;
    // Byte position of the first single-byte character ch at or after from, or npos.
    std::size_t FindFirst(const std::string& text, char ch, std::size_t from = 0) const;
    // The largest character boundary at or before pos.
    std::size_t CharBoundaryBefore(const std::string& text, std::size_t pos) const;
    // At most limit bytes of the text, cut before a double-byte character
    // that would not fit whole (an 11-byte volume label, say).
    std::string CutToBytes(const std::string& text, std::size_t limit) const;

private:
    std::size_t CharLength(const std::string& text, std::size_t pos) const;

    const CCodePage& m_codePage;
};
