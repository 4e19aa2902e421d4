// Byte-addressed storage under a FAT volume: an image file, or memory in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class IBlockStore {
public:
    virtual ~IBlockStore() = default;
    virtual bool ReadAt(uint64_t offset, void* data, size_t size) = 0;
    virtual bool WriteAt(uint64_t offset, const void* data, size_t size) = 0;
    virtual uint64_t Size() = 0;
};

class CMemoryBlockStore : public IBlockStore {
public:
    explicit CMemoryBlockStore(std::vector<uint8_t> bytes) : Bytes(std::move(bytes)) {}
    bool ReadAt(uint64_t offset, void* data, size_t size) override;
    bool WriteAt(uint64_t offset, const void* data, size_t size) override;
    uint64_t Size() override { return Bytes.size(); }
    std::vector<uint8_t> Bytes;
};

// Reads and writes go straight to the file (no buffering of ours), so another
// writer of the same file is seen at once.
class CFileBlockStore : public IBlockStore {
public:
    CFileBlockStore() = default;
    ~CFileBlockStore() override;
    CFileBlockStore(const CFileBlockStore&) = delete;
    CFileBlockStore& operator=(const CFileBlockStore&) = delete;
    bool Open(const std::string& path);
    void Close();
    bool ReadAt(uint64_t offset, void* data, size_t size) override;
    bool WriteAt(uint64_t offset, const void* data, size_t size) override;
    uint64_t Size() override;
    int Descriptor() const { return Fd; }

private:
    int Fd = -1;
};
