// Where the FAT reader gets its bytes: a file or a buffer, read only inside its size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace cv50::fwpkg {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Reads exactly out.size() bytes at `offset`; false when they do not all lie inside
    // the source or the read fails.
    [[nodiscard]] virtual bool read(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    bool read(std::uint64_t offset, std::span<std::uint8_t> out) override;

private:
    std::span<const std::uint8_t> bytes_;
};

class FileSource final : public ByteSource {
public:
    // Nothing when the file cannot be opened or measured. `hostPath` is a path of the
    // host's file system.
    static std::unique_ptr<FileSource> open(const std::string& hostPath);
    ~FileSource() override;
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, std::span<std::uint8_t> out) override;

private:
    FileSource(std::FILE* file, std::uint64_t size) : file_(file), size_(size) {}
    std::FILE* file_;
    std::uint64_t size_;
};

}  // namespace cv50::fwpkg
