#define FUSE_USE_VERSION 31
#include "memory_device.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fuse.h>
#include <pthread.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// Wine reads and writes the label of a folder drive through this file in the
// drive's root; it is served from the volume label and never listed.
const char kLabelFile[] = "/.windows-label";
const char kAttributeName[] = "user.DOSATTRIB";
const char kRawFile[] = "/image";

CMemoryDevice* Device()
{
    return static_cast<CMemoryDevice*>(fuse_get_context()->private_data);
}

void* InitView(struct fuse_conn_info* conn, struct fuse_config* cfg)
{
    // Nothing the kernel could cache may outlive a raw write.
    cfg->entry_timeout = 0;
    cfg->attr_timeout = 0;
    cfg->negative_timeout = 0;
    cfg->direct_io = 1;
    cfg->kernel_cache = 0;
    cfg->hard_remove = 1;
    cfg->use_ino = 0;
    conn->want &= ~FUSE_CAP_ASYNC_READ;
    return fuse_get_context()->private_data;
}

void FillOwner(struct stat* st)
{
    st->st_uid = fuse_get_context()->uid;
    st->st_gid = fuse_get_context()->gid;
}

void FillStat(const FatNode& node, uint32_t clusterBytes, struct stat* st)
{
    std::memset(st, 0, sizeof *st);
    if (node.IsDirectory()) {
        st->st_mode = S_IFDIR | 0755;
        st->st_nlink = 2;
    } else {
        st->st_mode = S_IFREG | ((node.Attributes & FAT_ATTR_READONLY) ? 0444 : 0644);
        st->st_nlink = 1;
        st->st_size = node.Size;
        uint64_t clusters = clusterBytes ? (node.Size + clusterBytes - 1) / clusterBytes : 0;
        st->st_blocks = static_cast<blkcnt_t>(clusters * clusterBytes / 512);
    }
    st->st_blksize = clusterBytes ? clusterBytes : 512;
    st->st_mtime = node.Modified;
    st->st_atime = node.Accessed ? node.Accessed : node.Modified;
    st->st_ctime = node.Modified;
    FillOwner(st);
}

bool IsLabelFile(const char* path) { return std::strcmp(path, kLabelFile) == 0; }

// ---- the file view ----

int FilesGetattr(const char* path, struct stat* st, struct fuse_file_info*)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock);
    if (r != 0)
        return r;
    if (IsLabelFile(path)) {
        std::string label;
        r = d->Volume.GetLabel(&label);
        if (r != 0)
            return r;
        if (label.empty() && !d->LabelFileOpen)
            return -ENOENT;
        std::memset(st, 0, sizeof *st);
        st->st_mode = S_IFREG | 0644;
        st->st_nlink = 1;
        st->st_size = static_cast<off_t>(label.size());
        FillOwner(st);
        return 0;
    }
    FatNode node;
    r = d->Volume.Stat(path, &node);
    if (r != 0)
        return r;
    FatGeometry geometry;
    r = d->Volume.GetGeometry(&geometry);
    if (r != 0)
        return r;
    FillStat(node, geometry.ClusterBytes, st);
    return 0;
}

int FilesReaddir(const char* path, void* buf, fuse_fill_dir_t filler, off_t, struct fuse_file_info*,
                 enum fuse_readdir_flags)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock);
    if (r != 0)
        return r;
    std::vector<FatNode> nodes;
    r = d->Volume.List(path, &nodes);
    if (r != 0)
        return r;
    filler(buf, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    filler(buf, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    for (const auto& node : nodes)
        if (filler(buf, node.Name.c_str(), nullptr, 0, static_cast<fuse_fill_dir_flags>(0)) != 0)
            break;
    return 0;
}

int FilesOpen(const char* path, struct fuse_file_info* fi)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock);
    if (r != 0)
        return r;
    fi->direct_io = 1;
    if (IsLabelFile(path)) {
        std::string label;
        r = d->Volume.GetLabel(&label);
        if (r != 0)
            return r;
        if (label.empty() && !d->LabelFileOpen)
            return -ENOENT;
        d->LabelFileOpen = true;
        return (fi->flags & O_TRUNC) ? d->Volume.SetLabel("") : 0;
    }
    FatNode node;
    r = d->Volume.Stat(path, &node);
    if (r != 0)
        return r;
    if (node.IsDirectory())
        return -EISDIR;
    if ((fi->flags & O_ACCMODE) != O_RDONLY && (node.Attributes & FAT_ATTR_READONLY))
        return -EACCES;
    // The kernel leaves O_TRUNC to us (atomic truncation on open).
    if ((fi->flags & O_TRUNC) && (fi->flags & O_ACCMODE) != O_RDONLY && node.Size != 0)
        return d->Volume.Resize(path, 0);
    return 0;
}

int FilesCreate(const char* path, mode_t mode, struct fuse_file_info* fi)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock);
    if (r != 0)
        return r;
    fi->direct_io = 1;
    if (IsLabelFile(path)) {
        // An empty label file stands until it is closed, as a new file would.
        d->LabelFileOpen = true;
        return d->Volume.SetLabel("");
    }
    return d->Volume.CreateFile(path, (mode & 0222) ? 0 : FAT_ATTR_READONLY);
}

int FilesRead(const char* path, char* buf, size_t size, off_t offset, struct fuse_file_info*)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock);
    if (r != 0)
        return r;
    if (offset < 0)
        return -EINVAL;
    if (IsLabelFile(path)) {
        std::string label;
        r = d->Volume.GetLabel(&label);
        if (r != 0)
            return r;
        if (static_cast<size_t>(offset) >= label.size())
            return 0;
        size_t n = std::min(size, label.size() - static_cast<size_t>(offset));
        std::memcpy(buf, label.data() + offset, n);
        return static_cast<int>(n);
    }
    std::vector<uint8_t> data;
    r = d->Volume.Read(path, static_cast<uint64_t>(offset), size, &data);
    if (r < 0)
        return r;
    if (!data.empty())
        std::memcpy(buf, data.data(), data.size());
    return static_cast<int>(data.size());
}

int WriteLabel(CMemoryDevice* d, const char* buf, size_t size, off_t offset)
{
    std::string label;
    int r = d->Volume.GetLabel(&label);
    if (r != 0)
        return r;
    if (offset < 0 || offset > 64 || size > 64)
        return -EINVAL;
    if (label.size() < static_cast<size_t>(offset) + size)
        label.resize(static_cast<size_t>(offset) + size, ' ');
    label.replace(static_cast<size_t>(offset), size, buf, size);
    while (!label.empty() && (label.back() == '\n' || label.back() == '\r' || label.back() == ' '))
        label.pop_back();
    r = d->Volume.SetLabel(label);
    return r != 0 ? r : static_cast<int>(size);
}

int FilesWrite(const char* path, const char* buf, size_t size, off_t offset, struct fuse_file_info*)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock);
    if (r != 0)
        return r;
    if (IsLabelFile(path))
        return WriteLabel(d, buf, size, offset);
    if (offset < 0)
        return -EINVAL;
    return d->Volume.Write(path, static_cast<uint64_t>(offset), reinterpret_cast<const uint8_t*>(buf), size);
}

int FilesTruncate(const char* path, off_t size, struct fuse_file_info*)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock);
    if (r != 0)
        return r;
    if (size < 0)
        return -EINVAL;
    if (IsLabelFile(path)) {
        if (size != 0)
            return 0;
        return d->Volume.SetLabel("");
    }
    return d->Volume.Resize(path, static_cast<uint64_t>(size));
}

int FilesUnlink(const char* path)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock);
    if (r != 0)
        return r;
    if (IsLabelFile(path)) {
        std::string label;
        r = d->Volume.GetLabel(&label);
        if (r != 0)
            return r;
        return label.empty() ? -ENOENT : d->Volume.SetLabel("");
    }
    return d->Volume.RemoveFile(path);
}

int FilesMkdir(const char* path, mode_t)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock);
    return r != 0 ? r : d->Volume.MakeDirectory(path);
}

int FilesRmdir(const char* path)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock);
    return r != 0 ? r : d->Volume.RemoveDirectory(path);
}

int FilesRename(const char* from, const char* to, unsigned int flags)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock);
    if (r != 0)
        return r;
    if (flags & RENAME_EXCHANGE)
        return -EINVAL;
    if (IsLabelFile(from) || IsLabelFile(to))
        return -EACCES;
    return d->Volume.Rename(from, to, (flags & RENAME_NOREPLACE) == 0);
}

int FilesChmod(const char* path, mode_t mode, struct fuse_file_info*)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock);
    if (r != 0)
        return r;
    if (IsLabelFile(path))
        return 0;
    FatNode node;
    r = d->Volume.Stat(path, &node);
    if (r != 0)
        return r;
    if (node.IsDirectory())
        return 0;  // Windows keeps no read-only flag on folders
    uint8_t attributes = node.Attributes & static_cast<uint8_t>(~FAT_ATTR_READONLY);
    if ((mode & 0222) == 0)
        attributes |= FAT_ATTR_READONLY;
    return d->Volume.SetAttributes(path, attributes);
}

int FilesChown(const char*, uid_t, gid_t, struct fuse_file_info*)
{
    return 0;  // a FAT has no owners
}

int FilesUtimens(const char* path, const struct timespec tv[2], struct fuse_file_info*)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock);
    if (r != 0)
        return r;
    if (IsLabelFile(path))
        return 0;
    time_t now = time(nullptr);
    time_t accessed = 0, modified = 0;
    const time_t* a = nullptr;
    const time_t* m = nullptr;
    if (!tv || tv[0].tv_nsec != UTIME_OMIT) {
        accessed = (!tv || tv[0].tv_nsec == UTIME_NOW) ? now : tv[0].tv_sec;
        a = &accessed;
    }
    if (!tv || tv[1].tv_nsec != UTIME_OMIT) {
        modified = (!tv || tv[1].tv_nsec == UTIME_NOW) ? now : tv[1].tv_sec;
        m = &modified;
    }
    return d->Volume.SetTimes(path, m, a);
}

int FilesStatfs(const char*, struct statvfs* st)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock);
    if (r != 0)
        return r;
    FatSpace space;
    r = d->Volume.GetSpace(&space);
    if (r != 0)
        return r;
    std::memset(st, 0, sizeof *st);
    st->f_bsize = space.ClusterBytes;
    st->f_frsize = space.ClusterBytes;
    st->f_blocks = space.ClusterCount;
    st->f_bfree = space.FreeClusters;
    st->f_bavail = space.FreeClusters;
    st->f_namemax = 255;
    return 0;
}

int AttributeText(uint8_t attributes, char* text, size_t size)
{
    return std::snprintf(text, size, "0x%x",
                         attributes & (FAT_ATTR_READONLY | FAT_ATTR_HIDDEN | FAT_ATTR_SYSTEM | FAT_ATTR_DIRECTORY |
                                       FAT_ATTR_ARCHIVE));
}

int FilesGetxattr(const char* path, const char* name, char* value, size_t size)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock);
    if (r != 0)
        return r;
    if (std::strcmp(name, kAttributeName) != 0 || IsLabelFile(path))
        return -ENODATA;
    FatNode node;
    r = d->Volume.Stat(path, &node);
    if (r != 0)
        return r;
    char text[16];
    int n = AttributeText(node.Attributes, text, sizeof text);
    if (size == 0)
        return n;
    if (size < static_cast<size_t>(n))
        return -ERANGE;
    std::memcpy(value, text, static_cast<size_t>(n));
    return n;
}

int FilesSetxattr(const char* path, const char* name, const char* value, size_t size, int)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock);
    if (r != 0)
        return r;
    if (std::strcmp(name, kAttributeName) != 0)
        return -ENOTSUP;
    if (IsLabelFile(path))
        return 0;
    // Wine writes the attributes as hexadecimal text ("0x6").
    std::string text(value, size);
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return -EINVAL;
    char* end = nullptr;
    unsigned long bits = std::strtoul(text.c_str() + 2, &end, 16);
    if (!end || *end != '\0')
        return -EINVAL;
    FatNode node;
    r = d->Volume.Stat(path, &node);
    if (r != 0)
        return r;
    // Read-only travels as the write bits of the mode (chmod), as Wine keeps
    // it; this attribute carries hidden, system and archive.
    const uint8_t carried = FAT_ATTR_HIDDEN | FAT_ATTR_SYSTEM | FAT_ATTR_ARCHIVE;
    uint8_t attributes = static_cast<uint8_t>((node.Attributes & ~carried) | (bits & carried));
    return d->Volume.SetAttributes(path, attributes);
}

int FilesListxattr(const char* path, char* list, size_t size)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock);
    if (r != 0)
        return r;
    if (IsLabelFile(path))
        return 0;
    size_t n = sizeof kAttributeName;
    if (size == 0)
        return static_cast<int>(n);
    if (size < n)
        return -ERANGE;
    std::memcpy(list, kAttributeName, n);
    return static_cast<int>(n);
}

int FilesRemovexattr(const char* path, const char* name)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock);
    if (r != 0)
        return r;
    if (std::strcmp(name, kAttributeName) != 0)
        return -ENODATA;
    if (IsLabelFile(path))
        return 0;
    FatNode node;
    r = d->Volume.Stat(path, &node);
    if (r != 0)
        return r;
    return d->Volume.SetAttributes(path, node.Attributes & static_cast<uint8_t>(~(FAT_ATTR_HIDDEN | FAT_ATTR_SYSTEM)));
}

int FilesFlush(const char*, struct fuse_file_info*) { return 0; }

int FilesRelease(const char* path, struct fuse_file_info*)
{
    if (IsLabelFile(path)) {
        CMemoryDevice* d = Device();
        std::unique_lock<std::mutex> lock;
        d->Enter(&lock);
        d->LabelFileOpen = false;
    }
    return 0;
}
int FilesFsync(const char*, int, struct fuse_file_info*) { return 0; }

// ---- the raw view: one file, the image ----

int RawGetattr(const char* path, struct stat* st, struct fuse_file_info*)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock, false);
    if (r != 0)
        return r;
    std::memset(st, 0, sizeof *st);
    FillOwner(st);
    if (std::strcmp(path, "/") == 0) {
        st->st_mode = S_IFDIR | 0755;
        st->st_nlink = 2;
        return 0;
    }
    if (std::strcmp(path, kRawFile) != 0)
        return -ENOENT;
    st->st_mode = S_IFREG | 0644;
    st->st_nlink = 1;
    st->st_size = static_cast<off_t>(d->Store.Size());
    st->st_blocks = st->st_size / 512;
    st->st_blksize = 512;
    return 0;
}

int RawReaddir(const char* path, void* buf, fuse_fill_dir_t filler, off_t, struct fuse_file_info*,
               enum fuse_readdir_flags)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock, false);
    if (r != 0)
        return r;
    if (std::strcmp(path, "/") != 0)
        return -ENOTDIR;
    filler(buf, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    filler(buf, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    filler(buf, kRawFile + 1, nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    return 0;
}

int RawOpen(const char* path, struct fuse_file_info* fi)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock, false);
    if (r != 0)
        return r;
    if (std::strcmp(path, kRawFile) != 0)
        return -ENOENT;
    fi->direct_io = 1;
    return 0;
}

int RawRead(const char*, char* buf, size_t size, off_t offset, struct fuse_file_info*)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock, false);
    if (r != 0)
        return r;
    uint64_t total = d->Store.Size();
    if (offset < 0)
        return -EINVAL;
    if (static_cast<uint64_t>(offset) >= total)
        return 0;
    size_t n = static_cast<size_t>(std::min<uint64_t>(size, total - static_cast<uint64_t>(offset)));
    return d->Store.ReadAt(static_cast<uint64_t>(offset), buf, n) ? static_cast<int>(n) : -EIO;
}

int RawWrite(const char*, const char* buf, size_t size, off_t offset, struct fuse_file_info*)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock, false);
    if (r != 0)
        return r;
    uint64_t total = d->Store.Size();
    if (offset < 0)
        return -EINVAL;
    if (static_cast<uint64_t>(offset) + size > total)
        return -ENOSPC;  // a disk does not grow
    d->RawWritten();
    return d->Store.WriteAt(static_cast<uint64_t>(offset), buf, size) ? static_cast<int>(size) : -EIO;
}

int RawTruncate(const char*, off_t size, struct fuse_file_info*)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    int r = d->Enter(&lock, false);
    if (r != 0)
        return r;
    return static_cast<uint64_t>(size) == d->Store.Size() ? 0 : -EPERM;
}

int RawFsync(const char*, int, struct fuse_file_info*)
{
    CMemoryDevice* d = Device();
    std::unique_lock<std::mutex> lock;
    d->Enter(&lock, false);
    return fdatasync(d->Store.Descriptor()) == 0 ? 0 : -errno;
}

struct fuse_operations FilesOperations()
{
    struct fuse_operations ops;
    std::memset(&ops, 0, sizeof ops);
    ops.init = InitView;
    ops.getattr = FilesGetattr;
    ops.readdir = FilesReaddir;
    ops.open = FilesOpen;
    ops.create = FilesCreate;
    ops.read = FilesRead;
    ops.write = FilesWrite;
    ops.truncate = FilesTruncate;
    ops.unlink = FilesUnlink;
    ops.mkdir = FilesMkdir;
    ops.rmdir = FilesRmdir;
    ops.rename = FilesRename;
    ops.chmod = FilesChmod;
    ops.chown = FilesChown;
    ops.utimens = FilesUtimens;
    ops.statfs = FilesStatfs;
    ops.getxattr = FilesGetxattr;
    ops.setxattr = FilesSetxattr;
    ops.listxattr = FilesListxattr;
    ops.removexattr = FilesRemovexattr;
    ops.flush = FilesFlush;
    ops.release = FilesRelease;
    ops.fsync = FilesFsync;
    return ops;
}

struct fuse_operations RawOperations()
{
    struct fuse_operations ops;
    std::memset(&ops, 0, sizeof ops);
    ops.init = InitView;
    ops.getattr = RawGetattr;
    ops.readdir = RawReaddir;
    ops.open = RawOpen;
    ops.read = RawRead;
    ops.write = RawWrite;
    ops.truncate = RawTruncate;
    ops.fsync = RawFsync;
    return ops;
}

void WakeLoop(int) {}

struct fuse* MountView(const struct fuse_operations& ops, const std::string& fsname, const std::string& mountpoint,
                       CMemoryDevice* device, std::string* error)
{
    std::string options = "fsname=" + fsname + ",subtype=mbmemory";
    const char* argv[] = {"mb_memoryd", "-o", options.c_str()};
    struct fuse_args args = FUSE_ARGS_INIT(3, const_cast<char**>(argv));
    struct fuse* f = fuse_new(&args, &ops, sizeof ops, device);
    fuse_opt_free_args(&args);
    if (!f) {
        *error = "cannot set up the view " + mountpoint;
        return nullptr;
    }
    if (fuse_mount(f, mountpoint.c_str()) != 0) {
        fuse_destroy(f);
        *error = "cannot mount " + mountpoint;
        return nullptr;
    }
    return f;
}

void StopView(struct fuse*& f, std::thread& loop, std::atomic<bool>& done)
{
    if (!f)
        return;
    fuse_exit(f);
    // The loop sits in a read of /dev/fuse; a signal without SA_RESTART wakes
    // it to see the exit flag.
    while (loop.joinable() && !done) {
        pthread_kill(loop.native_handle(), SIGUSR1);
        usleep(2000);
    }
    if (loop.joinable())
        loop.join();
    fuse_unmount(f);
    fuse_destroy(f);
    f = nullptr;
}

}  // namespace

CMemoryDevice::~CMemoryDevice()
{
    Stop();
}

bool CMemoryDevice::Start(std::string* error)
{
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = WakeLoop;
    sigaction(SIGUSR1, &sa, nullptr);

    if (!Store.Open(Image)) {
        *error = Name + ": cannot open the image " + Image + ": " + std::strerror(errno);
        return false;
    }
    if (Volume.Verify() != 0) {
        *error = Name + ": " + Image + " is not a sound FAT12/FAT16 image; not mounted";
        return false;
    }
    Verified = true;
    static const struct fuse_operations filesOps = FilesOperations();
    static const struct fuse_operations rawOps = RawOperations();
    Files = MountView(filesOps, "mbmemory-" + Name, FilesMount, this, error);
    if (!Files)
        return false;
    Raw = MountView(rawOps, "mbmemory-" + Name + "-raw", RawMount, this, error);
    if (!Raw) {
        fuse_unmount(Files);
        fuse_destroy(Files);
        Files = nullptr;
        return false;
    }
    struct fuse* files = Files;
    struct fuse* raw = Raw;
    FilesDone = false;
    RawDone = false;
    FilesLoop = std::thread([this, files] {
        fuse_loop(files);
        FilesDone = true;
    });
    RawLoop = std::thread([this, raw] {
        fuse_loop(raw);
        RawDone = true;
    });
    return true;
}

void CMemoryDevice::Stop()
{
    StopView(Files, FilesLoop, FilesDone);
    StopView(Raw, RawLoop, RawDone);
    Store.Close();
}

void CMemoryDevice::Pull()
{
    std::lock_guard<std::mutex> guard(Lock);
    Pulled = true;
}

bool CMemoryDevice::Insert(std::string* error)
{
    std::lock_guard<std::mutex> guard(Lock);
    Pulled = false;
    Verified = Volume.Verify() == 0;
    if (!Verified)
        *error = Name + ": the image is damaged; its files fail with EIO until it is mended";
    return Verified;
}

bool CMemoryDevice::IsPulled()
{
    std::lock_guard<std::mutex> guard(Lock);
    return Pulled;
}

int CMemoryDevice::Enter(std::unique_lock<std::mutex>* lock, bool checkTree)
{
    *lock = std::unique_lock<std::mutex>(Lock);
    if (Pulled)
        return -ENOMEDIUM;
    if (!checkTree)
        return 0;  // the raw view serves a damaged image as it is
    if (!Verified)
        Verified = Volume.Verify() == 0;
    return Verified ? 0 : -EIO;
}
