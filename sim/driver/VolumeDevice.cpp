// The player's volume (\\.\O:): the drive letter's takeover, the media
// image, the storage identity, sector reads and writes, SCSI pass-through and
// the volume locks.
#include "DriverShared.h"
#include "FatFacts.h"

using namespace vilosim;

namespace simdriver {

// The drive letter belongs to Wine's mount manager; point it at our volume
// device so that \\.\X: answers as the player, and give it back at unload.
void TakeOverVolume(PDRIVER_OBJECT driver, WCHAR letter)
{
    g_state.VolumeLink[0] = 0;
    WCHAR linkText[] = L"\\DosDevices\\X:";
    linkText[12] = letter;
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, linkText);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &link, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
    HANDLE handle;
    g_state.SavedVolumeTarget.Buffer = g_state.SavedVolumeTargetBuffer;
    g_state.SavedVolumeTarget.Length = 0;
    g_state.SavedVolumeTarget.MaximumLength = sizeof g_state.SavedVolumeTargetBuffer;
    if (NT_SUCCESS(ZwOpenSymbolicLinkObject(&handle, GENERIC_READ, &attributes))) {
        ULONG length = 0;
        if (!NT_SUCCESS(ZwQuerySymbolicLinkObject(handle, &g_state.SavedVolumeTarget, &length)))
            g_state.SavedVolumeTarget.Length = 0;
        ZwClose(handle);
        IoDeleteSymbolicLink(&link);
    }
    if (NT_SUCCESS(MakeDevice(driver, VOLUME_DEVICE_NAME, linkText, FILE_DEVICE_DISK, FILE_REMOVABLE_MEDIA,
                              ROLE_VOLUME, 0, 0, &g_state.Volume))) {
        AppendText(g_state.VolumeLink, NAME_CHARS, linkText);
        g_state.LinkPresent = true;
    }
}

void GiveBackVolume()
{
    if (!g_state.Volume)
        return;
    DeleteDevice(g_state.Volume, g_state.VolumeLink[0] && g_state.LinkPresent ? g_state.VolumeLink : nullptr);
    g_state.LinkPresent = false;
    g_state.Volume = nullptr;
    if (g_state.VolumeLink[0] && g_state.SavedVolumeTarget.Length) {
        UNICODE_STRING link;
        RtlInitUnicodeString(&link, g_state.VolumeLink);
        IoCreateSymbolicLink(&link, &g_state.SavedVolumeTarget);
    }
}


// ---- the player's media ----------------------------------------------------



void CloseImageLocked()
{
    if (g_state.Image) {
        ZwClose(g_state.Image);
        g_state.Image = nullptr;
    }
    g_state.ImageBytes = 0;
}

// Plugs in the player with the image at path (an NT path, or a DOS path such
// as Z:\...); no path pulls the player out. The SCSI target gets the same
// file for its READ(10) and WRITE(10), so both views are one memory.
NTSTATUS SetImage(const WCHAR* path, ULONG chars)
{
    while (chars && path[chars - 1] == 0)
        chars--;
    ImageLocked lock;
    CloseImageLocked();
    g_state.VolumeState = SIM_VOLUME_UNPLUGGED;
    g_state.VolumeReads = 0;
    g_state.VolumeWrites = 0;
    if (!chars) {
        if (g_state.TargetReady)
            SimBridgeAttachImage(nullptr, 0);
        return STATUS_SUCCESS;
    }
    // NT form for the driver, DOS form for the target's runtime.
    bool ntForm = path[0] == L'\\';
    ULONG ntChars = chars + (ntForm ? 0 : 4);
    auto* ntPath = static_cast<WCHAR*>(ExAllocatePoolWithTag(PagedPool, (ntChars + 1) * sizeof(WCHAR), POOL_TAG));
    if (!ntPath)
        return STATUS_INSUFFICIENT_RESOURCES;
    ULONG at = 0;
    if (!ntForm) {
        const WCHAR prefix[] = L"\\??\\";
        for (ULONG i = 0; i < 4; i++)
            ntPath[at++] = prefix[i];
    }
    for (ULONG i = 0; i < chars; i++)
        ntPath[at++] = path[i];
    ntPath[at] = 0;
    const WCHAR* dosPath = ntPath;
    ULONG dosChars = ntChars;
    if (ntChars > 4 && ntPath[0] == L'\\' && ntPath[1] == L'?' && ntPath[2] == L'?' && ntPath[3] == L'\\') {
        dosPath = ntPath + 4;
        dosChars = ntChars - 4;
    }

    UNICODE_STRING name;
    name.Buffer = ntPath;
    name.Length = static_cast<USHORT>(ntChars * sizeof(WCHAR));
    name.MaximumLength = name.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
    IO_STATUS_BLOCK io;
    HANDLE file = nullptr;
    NTSTATUS status = ZwCreateFile(&file, GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE, &attributes, &io, nullptr,
                                   FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
                                   FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, nullptr, 0);
    FILE_STANDARD_INFORMATION info;
    if (NT_SUCCESS(status)) {
        status = ZwQueryInformationFile(file, &io, &info, sizeof info, FileStandardInformation);
        if (!NT_SUCCESS(status))
            ZwClose(file);
    }
    if (NT_SUCCESS(status) && g_state.TargetReady && !SimBridgeAttachImage(dosPath, dosChars)) {
        ZwClose(file);
        status = STATUS_UNSUCCESSFUL;
    }
    ExFreePoolWithTag(ntPath, POOL_TAG);
    if (!NT_SUCCESS(status))
        return status;
    g_state.Image = file;
    g_state.ImageBytes = static_cast<ULONGLONG>(info.EndOfFile.QuadPart);
    g_state.VolumeState = SIM_VOLUME_IMAGE;
    return STATUS_SUCCESS;
}

// How an unplugged player answers: its volume is gone.
bool VolumeGone()
{
    bool hidden;
    {
        Locked lock;
        hidden = g_state.VolumeHidden;
    }
    return hidden || g_state.VolumeState == SIM_VOLUME_UNPLUGGED;
}

// A pulled player's drive letter goes away, so \\.\X: no longer opens (Wine
// does not fail an open when the driver refuses the create request); it
// comes back with the player.
void UpdateVolumeLink()
{
    if (!g_state.Volume || !g_state.VolumeLink[0])
        return;
    ImageLocked lock;
    bool gone = VolumeGone();
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, g_state.VolumeLink);
    if (gone && g_state.LinkPresent) {
        IoDeleteSymbolicLink(&link);
        g_state.LinkPresent = false;
    } else if (!gone && !g_state.LinkPresent) {
        UNICODE_STRING device;
        RtlInitUnicodeString(&device, VOLUME_DEVICE_NAME);
        g_state.LinkPresent = NT_SUCCESS(IoCreateSymbolicLink(&link, &device));
    }
}


// The identity the player's USB mass-storage interface reports.
NTSTATUS QueryStorageProperty(PIRP irp, PIO_STACK_LOCATION stack)
{
    ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
    auto* query = static_cast<STORAGE_PROPERTY_QUERY*>(irp->AssociatedIrp.SystemBuffer);
    if (in < sizeof(STORAGE_PROPERTY_QUERY) || query->PropertyId != StorageDeviceProperty)
        return Complete(irp, STATUS_NOT_SUPPORTED, 0);
    if (query->QueryType == PropertyExistsQuery)
        return Complete(irp, STATUS_SUCCESS, 0);
    static const char VENDOR[] = "Vilo    ";
    static const char PRODUCT[] = "Lark            ";
    static const char REVISION[] = "1.00";
    const ULONG vendorAt = sizeof(STORAGE_DEVICE_DESCRIPTOR);
    const ULONG productAt = vendorAt + sizeof VENDOR;
    const ULONG revisionAt = productAt + sizeof PRODUCT;
    const ULONG total = revisionAt + sizeof REVISION;
    uint8_t descriptor[total];
    for (ULONG i = 0; i < total; i++)
        descriptor[i] = 0;
    auto* header = reinterpret_cast<STORAGE_DEVICE_DESCRIPTOR*>(descriptor);
    header->Version = sizeof(STORAGE_DEVICE_DESCRIPTOR);
    header->Size = total;
    header->DeviceType = 0; // direct-access block device
    header->RemovableMedia = TRUE;
    header->VendorIdOffset = vendorAt;
    header->ProductIdOffset = productAt;
    header->ProductRevisionOffset = revisionAt;
    header->BusType = BusTypeUsb;
    for (ULONG i = 0; i < sizeof VENDOR; i++)
        descriptor[vendorAt + i] = VENDOR[i];
    for (ULONG i = 0; i < sizeof PRODUCT; i++)
        descriptor[productAt + i] = PRODUCT[i];
    for (ULONG i = 0; i < sizeof REVISION; i++)
        descriptor[revisionAt + i] = REVISION[i];
    // Like a real disk: a short buffer gets as much of the descriptor as fits,
    // so callers can learn the full size from its header.
    ULONG copied = out < total ? out : total;
    auto* target = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
    for (ULONG i = 0; i < copied; i++)
        target[i] = descriptor[i];
    return Complete(irp, STATUS_SUCCESS, copied);
}

// ---- the file position of a volume handle ----------------------------------

// A handle opened for synchronous I/O keeps its position in the file object,
// as the volume's file system does on Windows: the I/O manager marks such
// file objects before the create request (Wine's does not, so the create
// options say it here).
void NoteVolumeOpen(PIO_STACK_LOCATION stack)
{
    PFILE_OBJECT file = stack->FileObject;
    ULONG options = stack->Parameters.Create.Options & 0x00FFFFFF;
    if (file && (options & (FILE_SYNCHRONOUS_IO_ALERT | FILE_SYNCHRONOUS_IO_NONALERT)))
        file->Flags |= FO_SYNCHRONOUS_IO;
}

namespace {

bool Synchronous(PFILE_OBJECT file) { return file && (file->Flags & FO_SYNCHRONOUS_IO); }

// Where a transfer starts: the request's offset, or the handle's position
// when the request asks for it (FILE_USE_FILE_POINTER_POSITION, which only a
// synchronous handle may). Appending is refused: the image never grows.
bool TransferStart(PIO_STACK_LOCATION stack, bool write, LONGLONG* start)
{
    LARGE_INTEGER offset = write ? stack->Parameters.Write.ByteOffset : stack->Parameters.Read.ByteOffset;
    if (offset.HighPart == -1 && offset.LowPart == FILE_USE_FILE_POINTER_POSITION) {
        if (!Synchronous(stack->FileObject))
            return false;
        *start = stack->FileObject->CurrentByteOffset.QuadPart;
        return true;
    }
    if (offset.HighPart == -1 && offset.LowPart == FILE_WRITE_TO_END_OF_FILE)
        return false;
    *start = offset.QuadPart;
    return true;
}

} // namespace

// FilePositionInformation of a volume handle: where the next transfer that
// gives no offset starts. Other classes are a file system's, not a volume's.
NTSTATUS VolumeFileInformation(PIRP irp, PIO_STACK_LOCATION stack)
{
    bool set = stack->MajorFunction == IRP_MJ_SET_INFORMATION;
    FILE_INFORMATION_CLASS kind =
        set ? stack->Parameters.SetFile.FileInformationClass : stack->Parameters.QueryFile.FileInformationClass;
    ULONG length = set ? stack->Parameters.SetFile.Length : stack->Parameters.QueryFile.Length;
    auto* info = static_cast<FILE_POSITION_INFORMATION*>(irp->AssociatedIrp.SystemBuffer);
    PFILE_OBJECT file = stack->FileObject;
    if (VolumeGone())
        return Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    if (kind != FilePositionInformation)
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    if (!info || !file || length < sizeof(FILE_POSITION_INFORMATION))
        return Complete(irp, STATUS_INFO_LENGTH_MISMATCH, 0);
    if (!set) {
        info->CurrentByteOffset = file->CurrentByteOffset;
        return Complete(irp, STATUS_SUCCESS, sizeof *info);
    }
    // Only a synchronous handle has a position to set.
    if (!Synchronous(file) || info->CurrentByteOffset.QuadPart < 0)
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    file->CurrentByteOffset = info->CurrentByteOffset;
    return Complete(irp, STATUS_SUCCESS, 0);
}

// Sector reads and writes of the player's volume, from its image file:
// whole sectors only, inside the image, which never grows. A synchronous
// handle's position moves past what was transferred.
NTSTATUS VolumeTransfer(PIRP irp, PIO_STACK_LOCATION stack)
{
    bool write = stack->MajorFunction == IRP_MJ_WRITE;
    ULONG length = write ? stack->Parameters.Write.Length : stack->Parameters.Read.Length;
    LONGLONG offset = 0;
    if (!TransferStart(stack, write, &offset))
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    if (VolumeGone())
        return Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    ImageLocked lock;
    if (g_state.VolumeState == SIM_VOLUME_UNPLUGGED)
        return Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    if (!g_state.Image)
        return Complete(irp, STATUS_NO_MEDIA_IN_DEVICE, 0);
    if (offset < 0 || offset % SECTOR_BYTES || length % SECTOR_BYTES)
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    ULONGLONG end = static_cast<ULONGLONG>(offset) + length;
    if (end > g_state.ImageBytes)
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    if (!length) {
        if (Synchronous(stack->FileObject))
            stack->FileObject->CurrentByteOffset.QuadPart = offset;
        return Complete(irp, STATUS_SUCCESS, 0);
    }
    void* buffer = irp->AssociatedIrp.SystemBuffer;
    LARGE_INTEGER at;
    at.QuadPart = offset;
    IO_STATUS_BLOCK io;
    NTSTATUS status = write ? ZwWriteFile(g_state.Image, nullptr, nullptr, nullptr, &io, buffer, length, &at, nullptr)
                            : ZwReadFile(g_state.Image, nullptr, nullptr, nullptr, &io, buffer, length, &at, nullptr);
    if (!NT_SUCCESS(status))
        return Complete(irp, status, 0);
    if (io.Information != length)
        return Complete(irp, STATUS_DEVICE_DATA_ERROR, io.Information);
    if (write)
        g_state.VolumeWrites++;
    else
        g_state.VolumeReads++;
    if (Synchronous(stack->FileObject))
        stack->FileObject->CurrentByteOffset.QuadPart = offset + length;
    return Complete(irp, STATUS_SUCCESS, length);
}

// Where the fields after the common head lie in a pass-through header: a
// 32-bit caller's block arrives in its own layout (the data offset or pointer
// is 4 bytes wide there), and its Length names which one it is.
struct PassThroughLayout {
    ULONG Header;
    ULONG DataOffsetAt;
    ULONG DataOffsetBytes;
    ULONG SenseOffsetAt;
    ULONG CdbAt;
};

constexpr PassThroughLayout LAYOUT_64 = {56, 24, 8, 32, 36};
constexpr PassThroughLayout LAYOUT_32 = {44, 20, 4, 24, 28};
static_assert(sizeof(SCSI_PASS_THROUGH) == 56 && sizeof(SCSI_PASS_THROUGH_DIRECT) == 56,
              "this build's own pass-through headers are the 64-bit ones");
static_assert(FIELD_OFFSET(SCSI_PASS_THROUGH, DataBufferOffset) == 24 &&
                  FIELD_OFFSET(SCSI_PASS_THROUGH, SenseInfoOffset) == 32 && FIELD_OFFSET(SCSI_PASS_THROUGH, Cdb) == 36,
              "64-bit pass-through offsets");
static_assert(FIELD_OFFSET(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == 32 &&
                  FIELD_OFFSET(SCSI_PASS_THROUGH_DIRECT, Cdb) == 36,
              "64-bit direct pass-through offsets");
// The head both widths share.
static_assert(FIELD_OFFSET(SCSI_PASS_THROUGH, CdbLength) == 6 && FIELD_OFFSET(SCSI_PASS_THROUGH, SenseInfoLength) == 7 &&
                  FIELD_OFFSET(SCSI_PASS_THROUGH, DataIn) == 8 &&
                  FIELD_OFFSET(SCSI_PASS_THROUGH, DataTransferLength) == 12,
              "pass-through head");

ULONG ReadLe32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<ULONG>(p[3]) << 24);
}

void WriteLe32(uint8_t* p, ULONG value)
{
    for (int i = 0; i < 4; i++)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// SCSI commands to the player, in the pass-through layout of the caller's
// width: the header, then wherever its offsets point inside the one buffer.
NTSTATUS VolumeScsiPassThrough(PIRP irp, PIO_STACK_LOCATION stack)
{
    ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
    bool direct = stack->Parameters.DeviceIoControl.IoControlCode == IOCTL_SCSI_PASS_THROUGH_DIRECT_CODE;
    auto* block = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
    if (VolumeGone())
        return Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    if (!block || in < LAYOUT_32.Header || out < in)
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    ULONG length = block[0] | (block[1] << 8);
    const PassThroughLayout* layout = nullptr;
    if (length == LAYOUT_64.Header)
        layout = &LAYOUT_64;
    else if (length == LAYOUT_32.Header)
        layout = &LAYOUT_32;
    if (!layout || in < layout->Header)
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    UCHAR cdbLength = block[FIELD_OFFSET(SCSI_PASS_THROUGH, CdbLength)];
    UCHAR senseLength = block[FIELD_OFFSET(SCSI_PASS_THROUGH, SenseInfoLength)];
    bool dataIn = block[FIELD_OFFSET(SCSI_PASS_THROUGH, DataIn)] == SCSI_IOCTL_DATA_IN;
    ULONG senseOffset = ReadLe32(block + layout->SenseOffsetAt);
    const UCHAR* cdb = block + layout->CdbAt;
    if (cdbLength > 16 || cdbLength == 0)
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    if (senseLength && (senseOffset > in || senseLength > in - senseOffset))
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    uint8_t* data = nullptr;
    ULONG dataLength = ReadLe32(block + FIELD_OFFSET(SCSI_PASS_THROUGH, DataTransferLength));
    if (direct) {
        // The caller's own buffer lies in another process under Wine: only
        // commands without a data phase can be served this way.
        if (dataLength)
            return Complete(irp, STATUS_NOT_SUPPORTED, 0);
    } else if (dataLength) {
        ULONGLONG dataOffset = ReadLe32(block + layout->DataOffsetAt);
        if (layout->DataOffsetBytes == 8)
            dataOffset |= static_cast<ULONGLONG>(ReadLe32(block + layout->DataOffsetAt + 4)) << 32;
        if (dataOffset > in || dataLength > in - dataOffset)
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        data = block + dataOffset;
    }
    uint8_t status = 0;
    uint8_t sense[SIM_SENSE_BYTES];
    uint32_t moved = 0;
    if (!SimBridgeExecute(cdb, cdbLength, dataIn, data, dataLength, &status, sense, &moved))
        return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    block[FIELD_OFFSET(SCSI_PASS_THROUGH, ScsiStatus)] = status;
    if (status != 0) {
        ULONG n = senseLength < SIM_SENSE_BYTES ? senseLength : SIM_SENSE_BYTES;
        for (ULONG i = 0; i < n; i++)
            block[senseOffset + i] = sense[i];
        block[FIELD_OFFSET(SCSI_PASS_THROUGH, SenseInfoLength)] = static_cast<UCHAR>(n);
    } else {
        block[FIELD_OFFSET(SCSI_PASS_THROUGH, SenseInfoLength)] = 0;
    }
    WriteLe32(block + FIELD_OFFSET(SCSI_PASS_THROUGH, DataTransferLength), moved);
    return Complete(irp, STATUS_SUCCESS, in);
}

NTSTATUS VolumeControl(PIRP irp, PIO_STACK_LOCATION stack)
{
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    if (code != IOCTL_STORAGE_QUERY_PROPERTY && VolumeGone())
        return Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    switch (code) {
    case IOCTL_STORAGE_QUERY_PROPERTY:
        return QueryStorageProperty(irp, stack);
    case IOCTL_SCSI_PASS_THROUGH_CODE:
    case IOCTL_SCSI_PASS_THROUGH_DIRECT_CODE:
        return VolumeScsiPassThrough(irp, stack);
    case FSCTL_LOCK_VOLUME_CODE:
        return Complete(irp, SimBridgeLock() ? STATUS_SUCCESS : STATUS_ACCESS_DENIED, 0);
    case FSCTL_UNLOCK_VOLUME_CODE:
        return Complete(irp, SimBridgeUnlock() ? STATUS_SUCCESS : STATUS_NOT_LOCKED, 0);
    case FSCTL_DISMOUNT_VOLUME_CODE:
        return Complete(irp, SimBridgeDismount() ? STATUS_SUCCESS : STATUS_ACCESS_DENIED, 0);
    case IOCTL_STORAGE_MEDIA_REMOVAL_CODE:
    case IOCTL_DISK_MEDIA_REMOVAL_CODE: {
        // PREVENT_MEDIA_REMOVAL: one BOOLEAN.
        ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
        if (!irp->AssociatedIrp.SystemBuffer || in < 1)
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        SimBridgeMediaRemoval(*static_cast<const UCHAR*>(irp->AssociatedIrp.SystemBuffer) != 0);
        return Complete(irp, STATUS_SUCCESS, 0);
    }
    case IOCTL_STORAGE_EJECT_MEDIA_CODE:
    case IOCTL_DISK_EJECT_MEDIA_CODE:
        return Complete(irp, SimBridgeEject() ? STATUS_SUCCESS : STATUS_DEVICE_BUSY, 0);
    case IOCTL_DISK_GET_LENGTH_INFO_CODE: {
        // The volume is the whole image (the format tool lays the file
        // system out from this length).
        ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
        if (!irp->AssociatedIrp.SystemBuffer || out < sizeof(LONGLONG))
            return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        *static_cast<LONGLONG*>(irp->AssociatedIrp.SystemBuffer) = static_cast<LONGLONG>(g_state.ImageBytes);
        return Complete(irp, STATUS_SUCCESS, sizeof(LONGLONG));
    }
    case IOCTL_DISK_SET_DRIVE_LAYOUT_CODE: {
        ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
        if (!irp->AssociatedIrp.SystemBuffer || in < DRIVE_LAYOUT_BYTES)
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        SimBridgeSetDriveLayout(static_cast<const uint8_t*>(irp->AssociatedIrp.SystemBuffer), in);
        return Complete(irp, STATUS_SUCCESS, 0);
    }
    default:
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

// ---- volume queries ---------------------------------------------------------

namespace {

bool ReadImage(void*, uint64_t offset, uint8_t* buffer, uint32_t bytes)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    IO_STATUS_BLOCK io;
    NTSTATUS status = ZwReadFile(g_state.Image, nullptr, nullptr, nullptr, &io, buffer, bytes, &at, nullptr);
    return NT_SUCCESS(status) && io.Information == bytes;
}

// FILE_FS_ATTRIBUTE_INFORMATION, which only the file system headers define.
struct FsAttributeInformation {
    ULONG FileSystemAttributes;
    LONG MaximumComponentNameLength;
    ULONG FileSystemNameLength;
    WCHAR FileSystemName[1];
};

constexpr ULONG FS_CASE_PRESERVED_NAMES = 0x2;
constexpr ULONG FS_UNICODE_ON_DISK = 0x4;

// A fixed part and a text after it: as much as fits, STATUS_BUFFER_OVERFLOW
// when the text is cut.
NTSTATUS CompleteWithText(PIRP irp, ULONG length, ULONG fixed, ULONG textBytes)
{
    ULONG want = fixed + textBytes;
    if (length >= want)
        return Complete(irp, STATUS_SUCCESS, want);
    return Complete(irp, STATUS_BUFFER_OVERFLOW, length);
}

} // namespace

// What the volume's FAT image says about itself, for the size, label and file
// system queries; the device query needs no media.
NTSTATUS VolumeQueryInformation(PIRP irp, PIO_STACK_LOCATION stack)
{
    ULONG length = stack->Parameters.QueryVolume.Length;
    ULONG kind = stack->Parameters.QueryVolume.FsInformationClass;
    auto* out = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
    if (VolumeGone())
        return Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    if (!out)
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    for (ULONG i = 0; i < length; i++)
        out[i] = 0;
    if (kind == FileFsDeviceInformation) {
        if (length < sizeof(FILE_FS_DEVICE_INFORMATION))
            return Complete(irp, STATUS_INFO_LENGTH_MISMATCH, 0);
        auto* info = reinterpret_cast<FILE_FS_DEVICE_INFORMATION*>(out);
        info->DeviceType = FILE_DEVICE_DISK;
        info->Characteristics = FILE_REMOVABLE_MEDIA;
        return Complete(irp, STATUS_SUCCESS, sizeof *info);
    }
    if (kind != FileFsSizeInformation && kind != FileFsFullSizeInformation && kind != FileFsVolumeInformation &&
        kind != FileFsAttributeInformation)
        return Complete(irp, STATUS_INVALID_INFO_CLASS, 0);

    FatFacts facts;
    {
        ImageLocked lock;
        if (!g_state.Image)
            return Complete(irp, STATUS_NO_MEDIA_IN_DEVICE, 0);
        auto* scratch = static_cast<uint8_t*>(ExAllocatePoolWithTag(PagedPool, FAT_SCRATCH_BYTES, POOL_TAG));
        if (!scratch)
            return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
        bool read = ReadFatFacts(ReadImage, nullptr, g_state.ImageBytes, scratch, &facts);
        ExFreePoolWithTag(scratch, POOL_TAG);
        // Media that holds no FAT volume: what an unformatted disk answers.
        if (!read)
            return Complete(irp, STATUS_UNRECOGNIZED_VOLUME, 0);
    }

    switch (kind) {
    case FileFsSizeInformation: {
        if (length < sizeof(FILE_FS_SIZE_INFORMATION))
            return Complete(irp, STATUS_INFO_LENGTH_MISMATCH, 0);
        auto* info = reinterpret_cast<FILE_FS_SIZE_INFORMATION*>(out);
        info->TotalAllocationUnits.QuadPart = static_cast<LONGLONG>(facts.TotalClusters);
        info->AvailableAllocationUnits.QuadPart = static_cast<LONGLONG>(facts.FreeClusters);
        info->SectorsPerAllocationUnit = facts.SectorsPerCluster;
        info->BytesPerSector = facts.BytesPerSector;
        return Complete(irp, STATUS_SUCCESS, sizeof *info);
    }
    case FileFsFullSizeInformation: {
        if (length < sizeof(FILE_FS_FULL_SIZE_INFORMATION))
            return Complete(irp, STATUS_INFO_LENGTH_MISMATCH, 0);
        auto* info = reinterpret_cast<FILE_FS_FULL_SIZE_INFORMATION*>(out);
        info->TotalAllocationUnits.QuadPart = static_cast<LONGLONG>(facts.TotalClusters);
        info->CallerAvailableAllocationUnits.QuadPart = static_cast<LONGLONG>(facts.FreeClusters);
        info->ActualAvailableAllocationUnits.QuadPart = static_cast<LONGLONG>(facts.FreeClusters);
        info->SectorsPerAllocationUnit = facts.SectorsPerCluster;
        info->BytesPerSector = facts.BytesPerSector;
        return Complete(irp, STATUS_SUCCESS, sizeof *info);
    }
    case FileFsVolumeInformation: {
        const ULONG fixed = FIELD_OFFSET(FILE_FS_VOLUME_INFORMATION, VolumeLabel);
        if (length < fixed)
            return Complete(irp, STATUS_INFO_LENGTH_MISMATCH, 0);
        auto* info = reinterpret_cast<FILE_FS_VOLUME_INFORMATION*>(out);
        ULONG chars = 0;
        while (facts.Label[chars])
            chars++;
        info->VolumeSerialNumber = facts.Serial;
        info->VolumeLabelLength = chars * sizeof(WCHAR);
        info->SupportsObjects = FALSE;
        for (ULONG i = 0; i < chars && fixed + (i + 1) * sizeof(WCHAR) <= length; i++)
            info->VolumeLabel[i] = static_cast<UCHAR>(facts.Label[i]);
        return CompleteWithText(irp, length, fixed, chars * sizeof(WCHAR));
    }
    default: {
        const ULONG fixed = FIELD_OFFSET(FsAttributeInformation, FileSystemName);
        if (length < fixed)
            return Complete(irp, STATUS_INFO_LENGTH_MISMATCH, 0);
        auto* info = reinterpret_cast<FsAttributeInformation*>(out);
        // The FAT file system calls FAT12 and FAT16 volumes "FAT".
        const WCHAR* name = facts.Kind == FAT_KIND_32 ? L"FAT32" : L"FAT";
        ULONG chars = facts.Kind == FAT_KIND_32 ? 5 : 3;
        info->FileSystemAttributes = FS_CASE_PRESERVED_NAMES | FS_UNICODE_ON_DISK;
        info->MaximumComponentNameLength = 255;
        info->FileSystemNameLength = chars * sizeof(WCHAR);
        for (ULONG i = 0; i < chars && fixed + (i + 1) * sizeof(WCHAR) <= length; i++)
            info->FileSystemName[i] = name[i];
        return CompleteWithText(irp, length, fixed, chars * sizeof(WCHAR));
    }
    }
}

}  // namespace simdriver
