// One memory of the simulated player: its image, the file view (mount A) and
// the raw view (mount B), both served from the image itself.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "block_store.h"
#include "fat_volume.h"

struct fuse;

class CMemoryDevice {
public:
    CMemoryDevice(std::string name, std::string image, std::string filesMount, std::string rawMount)
        : Name(std::move(name)), Image(std::move(image)), FilesMount(std::move(filesMount)),
          RawMount(std::move(rawMount)), Volume(Store)
    {
    }
    ~CMemoryDevice();

    // Opens and checks the image and mounts both views; false with a message.
    bool Start(std::string* error);
    void Stop();

    // A pulled memory fails every operation of both views like an unplugged
    // drive; inserting it again checks the image afresh.
    void Pull();
    bool Insert(std::string* error);
    bool IsPulled();

    // For the file system callbacks: takes the lock, then 0 or the error that
    // every operation must give now (-ENOMEDIUM pulled, -EIO damaged image).
    // The raw view asks with checkTree false: it serves a damaged image too.
    int Enter(std::unique_lock<std::mutex>* lock, bool checkTree = true);
    // Raw writes may change anything: the tree is checked again before the
    // next file operation.
    void RawWritten() { Verified = false; }

    const std::string Name;
    const std::string Image;
    const std::string FilesMount;
    const std::string RawMount;
    CFileBlockStore Store;
    CFatVolume Volume;
    bool LabelFileOpen = false;  // guarded by the lock of Enter

private:
    std::mutex Lock;
    bool Pulled = false;
    bool Verified = false;
    struct fuse* Files = nullptr;
    struct fuse* Raw = nullptr;
    std::thread FilesLoop;
    std::thread RawLoop;
    std::atomic<bool> FilesDone{false};
    std::atomic<bool> RawDone{false};
};
