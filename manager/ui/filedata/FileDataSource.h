// CFileDataSource: the data of a drag from the window to the shell. It
// offers "FileGroupDescriptor" (the names and sizes, given at once) and
// "FileContents" (each file's bytes, read when the drop target asks).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "DataSource.h"

class CProgressCtl;

class CFileDataSource : public mbcom::CDataSource {
public:
    enum Kind { KIND_INTERNAL = 0, KIND_EXTERNAL = 1, KIND_PC = 2 };

    // Player kinds: names are file names in basePath (ending in "\") and the
    // progress control shows the reading; the PC kind: names are full paths.
    // The cancel flag is the process's, set by the Cancel button.
    CFileDataSource(int kind, HWND owner, CProgressCtl* progress, const std::string& basePath,
                    std::vector<std::string> names, std::vector<unsigned long long> sizes,
                    volatile int* cancelFlag, bool korean);

    static CLIPFORMAT DescriptorFormat();
    static CLIPFORMAT ContentsFormat();

    // Offers the descriptor at once and the contents of each index on demand.
    bool OfferFiles();

    // The text shown when a folder is asked for.
    std::string FolderMessage() const;

protected:
    bool OnRenderGlobalData(const FORMATETC& format, HGLOBAL* block) override;

private:
    bool RenderPlayerFile(const std::string& path, unsigned long long size, HGLOBAL block);
    bool RenderPcFile(const std::string& path, unsigned long long size, HGLOBAL block);
    void Tell(const std::string& text, UINT type = MB_OK | MB_ICONEXCLAMATION);

    int m_kind;
    HWND m_owner;
    CProgressCtl* m_progress;
    std::string m_basePath;
    std::vector<std::string> m_names;
    std::vector<unsigned long long> m_sizes;
    volatile int* m_cancel;
    bool m_korean;
};
