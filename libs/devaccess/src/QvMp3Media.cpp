// The media functions: the flash media engine of the core behind the library
// lock, with the registry's reserve, the shared progress and the driver's
// format status supplied here.
#include <new>
#include <vector>

#include "DriverChannel.h"
#include "FirmwareImage.h"
#include "MediaEngine.h"
#include "QvMp3State.h"

using namespace qvmp3;

namespace {

const char RESERVE_KEY[] = "SOFTWARE\\Vilo\\Lark Series Audio Harbor\\Params";
const char RESERVE_VALUE[] = "TotalKiloBytesReserved";

class CLibraryHost : public IMediaHost {
public:
    IPacketChannel& Channel() override { return m_channel; }
    uint32_t ChipVersion() override { return State().ChipVersion; }
    bool ReadDeviceVersion() override
    {
        unsigned long version = 0;
        return QvMp3DDGetDeviceVersion(&version) != 0;
    }
    uint32_t ReservedKilobytes() override
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RESERVE_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return 0;
        DWORD value = 0, type = 0, size = sizeof value;
        LONG result = RegQueryValueExA(key, RESERVE_VALUE, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
        return result == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value ? value : 0;
    }
    void SetPhase(uint32_t phase, double percent) override { QvMp3SetPhase(phase, percent, Event); }
    uint32_t Phase() override
    {
        unsigned long phase = 0;
        QvMp3GetProgress(nullptr, &phase);
        return phase;
    }
    void SetPercent(double percent) override
    {
        double now = 0;
        QvMp3GetProgress(&now, nullptr);
        QvMp3SetProgress(percent - now);
    }
    void AddPercent(double delta) override { QvMp3SetProgress(delta); }
    void Debug(const char* line) override { OutputDebugStringA(line); }
    bool SetFormatStatus(int status) override { return QvMp3DDSetFormatStatus(status) != 0; }

    void* Event = nullptr;

private:
    CDriverChannel m_channel;
};

CLibraryHost& Host()
{
    static CLibraryHost host;
    return host;
}

CMediaEngine& Engine()
{
    static CMediaEngine engine(Host());
    return engine;
}

// Only the entry of the media asked about is read from the caller's array.
void Indices(const unsigned long* given, unsigned char media, uint32_t (&indices)[MEDIA_COUNT])
{
    for (auto& index : indices)
        index = NO_MEDIA_INDEX;
    if (given && media < MEDIA_COUNT)
        indices[media] = given[media];
}

// The caller's file arrays, bounded by the record's file count.
struct Files {
    std::vector<const uint8_t*> Images, Headers;
    std::vector<uint32_t> Sizes, HeaderSizes;
    FirmwareFiles View;
};

bool GatherFiles(unsigned char* images[], unsigned long sizes[], unsigned char* headers[],
                 unsigned long headerSizes[], _BinaryFilesInformation* info, Files* files)
{
    if (!info || info->FileCount > MAX_FILES)
        return false;
    const uint32_t count = info->FileCount;
    files->View.Info = info;
    if (!images)
        return true;
    if (count && !sizes)
        return false;
    for (uint32_t i = 0; i < count; i++) {
        files->Images.push_back(images[i]);
        files->Sizes.push_back(sizes[i]);
        files->Headers.push_back(headers ? headers[i] : nullptr);
        files->HeaderSizes.push_back(headers && headerSizes ? headerSizes[i] : 0);
    }
    files->Images.push_back(nullptr); // never empty, so data() is a real array
    files->Sizes.push_back(0);
    files->Headers.push_back(nullptr);
    files->HeaderSizes.push_back(0);
    files->View.Images = files->Images.data();
    files->View.Sizes = files->Sizes.data();
    files->View.Headers = files->Headers.data();
    files->View.HeaderSizes = files->HeaderSizes.data();
    return true;
}

template <typename Work>
PROGRAM_MEDIA_STATUS Locked(void* event, Work work)
{
    LockHolder lock;
    Host().Event = event;
    PROGRAM_MEDIA_STATUS status;
    try {
        status = work(Engine());
    } catch (const std::bad_alloc&) {
        status = PROGRAM_MEDIA_NO_MEMORY;
    } catch (...) {
        status = PROGRAM_MEDIA_WRITE_FAILED;
    }
    Host().Event = nullptr;
    return status;
}

} // namespace

int QvMp3FreeMemoryDevice(unsigned char media)
{
    LockHolder lock;
    Engine().Free(media);
    return 1;
}

ACCESS_DEVICE_STATUS QvMp3GetFlashSizes(unsigned long* mediaIndex, unsigned long* failed)
{
    if (failed)
        *failed = 0;
    LockHolder lock;
    uint32_t indices[MEDIA_COUNT] = {NO_MEDIA_INDEX, NO_MEDIA_INDEX};
    bool ok;
    try {
        ok = Engine().GetSizes(indices);
    } catch (...) {
        ok = false;
    }
    if (!ok) {
        if (failed)
            *failed = 1;
        return ACCESS_DEVICE_FAILED;
    }
    if (mediaIndex) {
        mediaIndex[MEDIA_FLASH] = indices[MEDIA_FLASH];
        mediaIndex[MEDIA_CARD] = indices[MEDIA_CARD];
    }
    return ACCESS_DEVICE_SUCCESS;
}

unsigned char QvMp3FatPrepareSupported(unsigned char media)
{
    return CMediaEngine::KindOf(media) == KIND_CARD ? 0 : 1;
}

PROGRAM_MEDIA_STATUS QvMp3FatEraseDataArea(unsigned long* mediaIndices, unsigned char media, void* event)
{
    uint32_t indices[MEDIA_COUNT];
    Indices(mediaIndices, media, indices);
    return Locked(event, [&](CMediaEngine& engine) { return engine.EraseDataArea(indices, media); });
}

PROGRAM_MEDIA_STATUS QvMp3BuildBlockStatus(unsigned long* mediaIndices, unsigned char media, int mode,
                                           _BinaryFilesInformation* info, void* event)
{
    // It sends packets like every other media function, so it holds the lock too.
    uint32_t indices[MEDIA_COUNT];
    Indices(mediaIndices, media, indices);
    return Locked(event, [&](CMediaEngine& engine) { return engine.BuildBlockStatus(indices, media, info); });
}

PROGRAM_MEDIA_STATUS QvMp3FatFormatEx(unsigned long* mediaIndices, unsigned char media, int withFiles,
                                      unsigned char* images[], unsigned long imageSizes[], unsigned char* headers[],
                                      unsigned long headerSizes[], _BinaryFilesInformation* info, void* event)
{
    uint32_t indices[MEDIA_COUNT];
    Indices(mediaIndices, media, indices);
    return Locked(event, [&](CMediaEngine& engine) {
        Files files;
        if (!GatherFiles(withFiles ? images : nullptr, imageSizes, headers, headerSizes, info, &files))
            return media < MEDIA_COUNT && indices[media] >= NO_MEDIA_INDEX ? PROGRAM_MEDIA_BAD_MEDIA
                                                                          : PROGRAM_MEDIA_BAD_IMAGE;
        return engine.FatFormat(indices, media, withFiles != 0, files.View);
    });
}

PROGRAM_MEDIA_STATUS QvMp3QuickFormatQvrx(unsigned long* mediaIndices, unsigned char media, int mode,
                                          _BinaryFilesInformation* info, void* event)
{
    uint32_t indices[MEDIA_COUNT];
    Indices(mediaIndices, media, indices);
    return Locked(event, [&](CMediaEngine& engine) { return engine.QuickFormat(indices, media, mode); });
}

PROGRAM_MEDIA_STATUS QvMp3ProgramQvrxMedia(unsigned long* mediaIndices, unsigned char media,
                                           unsigned char* images[], unsigned long imageSizes[],
                                           unsigned char* headers[], unsigned long headerSizes[],
                                           _BinaryFilesInformation* info, void* event)
{
    uint32_t indices[MEDIA_COUNT];
    Indices(mediaIndices, media, indices);
    return Locked(event, [&](CMediaEngine& engine) {
        Files files;
        if (!GatherFiles(images, imageSizes, headers, headerSizes, info, &files))
            return media < MEDIA_COUNT && indices[media] >= NO_MEDIA_INDEX ? PROGRAM_MEDIA_BAD_MEDIA
                                                                          : PROGRAM_MEDIA_BAD_IMAGE;
        return engine.Program(indices, media, files.View);
    });
}

PROGRAM_MEDIA_STATUS QvMp3GetFirmwareVersion(unsigned long* mediaIndices, unsigned char media,
                                             _BinaryFilesInformation* info)
{
    uint32_t indices[MEDIA_COUNT];
    Indices(mediaIndices, media, indices);
    return Locked(nullptr, [&](CMediaEngine& engine) { return engine.FirmwareVersion(indices, media, info); });
}

PROGRAM_MEDIA_STATUS QvMp3GetFileVersion(unsigned char* images[], unsigned long sizes[],
                                         _BinaryFilesInformation* info)
{
    if (!info || info->FileCount > MAX_FILES)
        return PROGRAM_MEDIA_BAD_IMAGE;
    std::vector<const uint8_t*> list;
    std::vector<uint32_t> lengths;
    try {
        for (uint32_t i = 0; i < info->FileCount; i++) {
            list.push_back(images ? images[i] : nullptr);
            lengths.push_back(sizes ? sizes[i] : 0);
        }
        list.push_back(nullptr);
        lengths.push_back(0);
        return ReadFileVersions(list.data(), lengths.data(), info);
    } catch (...) {
        return PROGRAM_MEDIA_NO_MEMORY;
    }
}
