// The MP3 reading core bound to Windows: a file as its byte source and the
// ANSI code page as its text converter. Shared by Mp3Peek.dll and the
// analysis control, which compiles the reader in.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "Mp3ByteSource.h"
#include "Mp3TextConverter.h"

// GetFileSize and SetFilePointer with their high parts: the Ex forms are not
// on Windows 95/98/ME.
class CMp3FileSource : public CMp3ByteSource {
public:
    explicit CMp3FileSource(const char* path)
        : m_file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~CMp3FileSource() override
    {
        if (IsOpen())
            CloseHandle(m_file);
    }
    CMp3FileSource(const CMp3FileSource&) = delete;
    CMp3FileSource& operator=(const CMp3FileSource&) = delete;

    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }

    // The two halves as GetFileSize gives them; both 0 when it fails.
    bool Size(DWORD& low, DWORD& high)
    {
        high = 0;
        SetLastError(NO_ERROR);
        low = GetFileSize(m_file, &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
            low = high = 0;
            return false;
        }
        return true;
    }

    std::uint64_t GetSize() override
    {
        DWORD low = 0, high = 0;
        Size(low, high);
        return (static_cast<std::uint64_t>(high) << 32) | low;
    }

    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override
    {
        LONG high = static_cast<LONG>(offset >> 32);
        SetLastError(NO_ERROR);
        const DWORD low = SetFilePointer(m_file, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
        if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
            return 0;
        DWORD got = 0;
        if (!ReadFile(m_file, buffer, static_cast<DWORD>(count), &got, nullptr))
            return 0;
        return got;
    }

private:
    HANDLE m_file;
};

// Texts go to the ANSI code page one code point at a time, so that a cut at
// a field's limit never splits a double-byte character.
class CMp3AnsiConverter : public CMp3TextConverter {
public:
    bool AppendCodePoint(char32_t cp, std::string& out, std::size_t limit) const override
    {
        wchar_t w[2];
        int units = 1;
        if (cp >= 0x10000) {
            w[0] = static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
            w[1] = static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            units = 2;
        } else {
            w[0] = static_cast<wchar_t>(cp);
        }
        char bytes[8];
        int n = WideCharToMultiByte(CP_ACP, 0, w, units, bytes, sizeof bytes, "?", nullptr);
        if (n <= 0) {
            bytes[0] = '?';
            n = 1;
        }
        if (out.size() + static_cast<std::size_t>(n) > limit)
            return false;
        out.append(bytes, static_cast<std::size_t>(n));
        return true;
    }
};
