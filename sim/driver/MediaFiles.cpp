#include "MediaFiles.h"

#include "vilosim/MediaModel.h"

using namespace vilosim;

namespace {

constexpr ULONG MEDIA_TAG = 0x644D6C56; // "VlMd"

// One image file; reads and writes at byte offsets, never past its end.
class CFileStore final : public IMediaStore {
public:
    HANDLE File = nullptr;
    ULONGLONG Bytes = 0;

    bool Read(uint64_t offset, uint8_t* out, uint32_t length) override { return Transfer(false, offset, out, length); }
    bool Write(uint64_t offset, const uint8_t* data, uint32_t length) override
    {
        return Transfer(true, offset, const_cast<uint8_t*>(data), length);
    }

private:
    bool Transfer(bool write, uint64_t offset, uint8_t* buffer, uint32_t length)
    {
        if (!File || offset > Bytes || length > Bytes - offset)
            return false;
        IO_STATUS_BLOCK io;
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        NTSTATUS status = write ? ZwWriteFile(File, nullptr, nullptr, nullptr, &io, buffer, length, &at, nullptr)
                                : ZwReadFile(File, nullptr, nullptr, nullptr, &io, buffer, length, &at, nullptr);
        return NT_SUCCESS(status) && io.Information == length;
    }
};

CFileStore g_flashFile, g_cardFile;
CFlashMemory g_flash;
CMmcCardModel g_card;

void CloseStore(CFileStore& store)
{
    if (store.File)
        ZwClose(store.File);
    store.File = nullptr;
    store.Bytes = 0;
}

NTSTATUS OpenFile(const WCHAR* path, ULONG chars, HANDLE* file, ULONGLONG* bytes)
{
    bool ntForm = path[0] == L'\\';
    ULONG total = chars + (ntForm ? 0 : 4);
    auto* name = static_cast<WCHAR*>(ExAllocatePoolWithTag(PagedPool, (total + 1) * sizeof(WCHAR), MEDIA_TAG));
    if (!name)
        return STATUS_INSUFFICIENT_RESOURCES;
    ULONG at = 0;
    if (!ntForm) {
        const WCHAR prefix[] = L"\\??\\";
        for (ULONG i = 0; i < 4; i++)
            name[at++] = prefix[i];
    }
    for (ULONG i = 0; i < chars; i++)
        name[at++] = path[i];
    name[at] = 0;
    UNICODE_STRING text;
    text.Buffer = name;
    text.Length = static_cast<USHORT>(total * sizeof(WCHAR));
    text.MaximumLength = text.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
    IO_STATUS_BLOCK io;
    NTSTATUS status = ZwCreateFile(file, GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE, &attributes, &io, nullptr,
                                   FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
                                   FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, nullptr, 0);
    ExFreePoolWithTag(name, MEDIA_TAG);
    if (!NT_SUCCESS(status))
        return status;
    FILE_STANDARD_INFORMATION info;
    status = ZwQueryInformationFile(*file, &io, &info, sizeof info, FileStandardInformation);
    if (!NT_SUCCESS(status)) {
        ZwClose(*file);
        return status;
    }
    *bytes = static_cast<ULONGLONG>(info.EndOfFile.QuadPart);
    return STATUS_SUCCESS;
}

} // namespace

void MediaAttachGroups(CPlayerModel* model)
{
    model->SetGroup(GROUP_FLASH, &g_flash);
    model->SetGroup(GROUP_MMC, &g_card);
}

void MediaCloseAll()
{
    g_flash.Reset();
    g_card.Reset();
    CloseStore(g_flashFile);
    CloseStore(g_cardFile);
}

NTSTATUS MediaSetImage(bool flash, const void* buffer, ULONG length)
{
    if (length < sizeof(SimMediaImage))
        return STATUS_INVALID_PARAMETER;
    SimMediaImage image;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    auto* to = reinterpret_cast<uint8_t*>(&image);
    for (ULONG i = 0; i < sizeof image; i++)
        to[i] = bytes[i];
    const auto* path = reinterpret_cast<const WCHAR*>(bytes + sizeof image);
    ULONG chars = (length - sizeof image) / sizeof(WCHAR);
    while (chars && path[chars - 1] == 0)
        chars--;
    CFileStore& store = flash ? g_flashFile : g_cardFile;
    // Take the old media out first, under the model's lock.
    {
        simdriver::Locked lock;
        if (flash)
            g_flash.Reset();
        else
            g_card.Reset();
    }
    CloseStore(store);
    if (!chars)
        return STATUS_SUCCESS;
    HANDLE file = nullptr;
    ULONGLONG size = 0;
    NTSTATUS status = OpenFile(path, chars, &file, &size);
    if (!NT_SUCCESS(status))
        return status;
    // The image must hold the geometry it claims.
    ULONGLONG needed = flash ? static_cast<ULONGLONG>(image.PagesPerBlock) * image.Blocks * CFlashMemory::PAGE
                             : static_cast<ULONGLONG>(image.Blocks) * CMmcCardModel::BLOCK;
    if (needed == 0 || needed > size) {
        ZwClose(file);
        return STATUS_INVALID_PARAMETER;
    }
    store.File = file;
    store.Bytes = size;
    {
        simdriver::Locked lock;
        if (flash)
            g_flash.Attach(&store, image);
        else
            g_card.Attach(&store, image);
    }
    return STATUS_SUCCESS;
}
