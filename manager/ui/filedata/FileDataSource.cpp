#include "FileDataSource.h"

#include <cstring>

#include "CommandRules.h"
#include "ProgressCtl.h"
#include "Prompter.h"
#include "StringIds.h"
#include "Text.h"

namespace {
const DWORD kChunk = 16384;
}

CFileDataSource::CFileDataSource(int kind, HWND owner, CProgressCtl* progress, const std::string& basePath,
                                 std::vector<std::string> names, std::vector<unsigned long long> sizes,
                                 volatile int* cancelFlag, bool korean)
    : m_kind(kind),
      m_owner(owner),
      m_progress(kind == KIND_PC ? nullptr : progress),
      m_basePath(kind == KIND_PC ? std::string() : basePath),
      m_names(std::move(names)),
      m_sizes(std::move(sizes)),
      m_cancel(cancelFlag),
      m_korean(korean)
{
    m_sizes.resize(m_names.size(), 0);
}

CLIPFORMAT CFileDataSource::DescriptorFormat()
{
    return CLIPFORMAT(::RegisterClipboardFormatA("FileGroupDescriptor"));
}

CLIPFORMAT CFileDataSource::ContentsFormat()
{
    return CLIPFORMAT(::RegisterClipboardFormatA("FileContents"));
}

bool CFileDataSource::OfferFiles()
{
    std::vector<unsigned char> descriptor = commands::BuildFileGroupDescriptor(m_names, m_sizes);
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, descriptor.size());
    if (!block)
        return false;
    void* at = ::GlobalLock(block);
    if (!at) {
        ::GlobalFree(block);
        return false;
    }
    std::memcpy(at, descriptor.data(), descriptor.size());
    ::GlobalUnlock(block);
    CacheGlobalData(DescriptorFormat(), block, -1);
    for (size_t i = 0; i < m_names.size(); ++i)
        DelayRenderData(ContentsFormat(), LONG(i));
    return true;
}

std::string CFileDataSource::FolderMessage() const
{
    return m_korean ? "\xED\x8F\xB4\xEB\x8D\x94\xEB\x8A\x94 \xEB\xA7\xA4\xEB\x8B\x88\xEC\xA0\x80 \xEC\x99\xB8\xEC\x9D\x98 "
                      "\xEB\x8B\xA4\xEB\xA5\xB8 \xEC\x9C\x84\xEC\xB9\x98\xEB\xA1\x9C \xEB\xB3\xB5\xEC\x82\xAC\xED\x95\xA0 "
                      "\xEC\x88\x98 \xEC\x97\x86\xEC\x8A\xB5\xEB\x8B\x88\xEB\x8B\xA4."
                    : "Folders can not transfer another place out of our manager.";
}

void CFileDataSource::Tell(const std::string& text, UINT type)
{
    if (m_owner)
        ::SetForegroundWindow(m_owner);
    mb::ShowMessage(m_owner, text, type);
}

bool CFileDataSource::OnRenderGlobalData(const FORMATETC& format, HGLOBAL* out)
{
    if (format.cfFormat != ContentsFormat() || format.lindex < 0 || size_t(format.lindex) >= m_names.size())
        return false;
    const size_t i = size_t(format.lindex);
    const std::string path = m_basePath + m_names[i];
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (m_korean)
            mb::ShowMessageW(m_owner, mb::Widen(FolderMessage(), CP_UTF8), MB_OK | MB_ICONEXCLAMATION);
        else
            Tell(FolderMessage());
        return false;
    }
    const unsigned long long size = m_sizes[i];
    if (size > 0x7FFFFFFFull) {
        Tell(mb::LoadText(IDS_FILE_EMPTY));
        return false;
    }
    HGLOBAL block = ::GlobalAlloc(GMEM_FIXED, size ? SIZE_T(size) : 1);
    if (!block) {
        Tell(mb::LoadText(IDS_FILE_EMPTY));
        return false;
    }
    bool ok = m_kind == KIND_PC ? RenderPcFile(path, size, block) : RenderPlayerFile(path, size, block);
    if (!ok) {
        ::GlobalFree(block);
        return false;
    }
    *out = block;
    return true;
}

bool CFileDataSource::RenderPlayerFile(const std::string& path, unsigned long long size, HGLOBAL block)
{
    if (m_cancel)
        *m_cancel = 0;
    if (m_progress && m_progress->m_hWnd)
        m_progress->SetRange(0, long(size));
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Tell(mb::Format(mb::LoadText(IDS_OPEN_FAILED).c_str(), path.c_str()));
        return false;
    }
    unsigned char* to = static_cast<unsigned char*>(static_cast<void*>(block));
    unsigned long long done = 0;
    bool ok = true;
    while (done < size) {
        DWORD want = DWORD(size - done < kChunk ? size - done : kChunk);
        DWORD got = 0;
        if (!::ReadFile(file, to + done, want, &got, nullptr) || got != want) {
            Tell(mb::LoadText(IDS_READ_FAILED));
            ok = false;
            break;
        }
        done += got;
        if (m_progress && m_progress->m_hWnd) {
            m_progress->SetPos(0, long(done));
            m_progress->RedrawNow();
        }
        // One waiting message of the owner, so that the Cancel button works.
        MSG msg;
        if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (m_cancel && *m_cancel) {
            *m_cancel = 0;
            if (m_owner)
                ::SetForegroundWindow(m_owner);
            if (mb::ShowMessage(m_owner, mb::LoadText(IDS_UPLOAD_CANCEL_ASK), MB_YESNO | MB_ICONEXCLAMATION) ==
                IDYES) {
                ok = false;
                break;
            }
        }
    }
    ::CloseHandle(file);
    if (m_progress && m_progress->m_hWnd)
        m_progress->SetPos(0, 0);
    return ok;
}

bool CFileDataSource::RenderPcFile(const std::string& path, unsigned long long size, HGLOBAL block)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Tell(mb::Format(mb::LoadText(IDS_OPEN_FAILED).c_str(), path.c_str()));
        return false;
    }
    DWORD got = 0;
    BOOL read = size ? ::ReadFile(file, static_cast<void*>(block), DWORD(size), &got, nullptr) : TRUE;
    ::CloseHandle(file);
    if (!read || got != DWORD(size)) {
        Tell(mb::LoadText(IDS_READ_FAILED));
        return false;
    }
    return true;
}
