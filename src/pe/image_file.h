// ImageFile: the seek-and-read view of an image that the reader works on, served from a few file blocks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace pe {

// Where an ImageFile gets its bytes: an open file on disk, or bytes in memory in tests and fuzzing.
class BlockSource {
public:
    // Copies up to `count` bytes starting `offset` bytes into the file and returns how many it copied:
    // fewer only at the end of the file, or when the file cannot be read any further.
    virtual std::uint32_t ReadAt(std::uint64_t offset, void* buffer, std::uint32_t count) = 0;

protected:
    ~BlockSource() = default;
};

// Seeks and reads with the semantics of SetFilePointer(FILE_BEGIN) and ReadFile on the file as it was
// when first read, answered from a handful of cached blocks instead of one system call per value.
class ImageFile {
public:
    static constexpr std::uint32_t kBlockSize = 64 * 1024;
    static constexpr int kBlockCount = 8;

    explicit ImageFile(BlockSource& source);
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
    ~ImageFile();

    // Moves to `position` bytes from the start of the file. A negative position fails and leaves the
    // position where it was; a position past the end of the file is accepted.
    bool Seek(std::int32_t position);

    // Reads up to `count` bytes at the position and moves past them. Fewer come back at the end of the
    // file, none past it.
    std::uint32_t Read(void* buffer, std::uint32_t count);

    // Reads exactly `count` bytes and moves past them, or, when the file ends first, reads nothing and
    // stays where it was; what `buffer` holds then is unspecified.
    bool ReadWhole(void* buffer, std::uint32_t count);

    // Reads a zero-terminated text: the bytes before the first zero byte, at most `limit` of them.
    // Afterwards the position lies just past the zero byte, at the end of the file when none came, or
    // just past the `limit` bytes taken when the text was cut there.
    void ReadText(std::string& text, std::uint32_t limit);

    std::uint64_t Position() const { return position_; }

private:
    struct Block {
        std::uint64_t start = 0;
        std::uint32_t length = 0;  // bytes of the file in this block; less than kBlockSize at the end
        std::uint64_t lastUse = 0;
        std::unique_ptr<unsigned char[]> bytes;  // null until the slot is first used
    };

    // The cached block that holds `position`, filled from the source when it is not cached yet.
    const Block& BlockAt(std::uint64_t position);

    BlockSource& source_;
    std::uint64_t position_ = 0;
    std::uint64_t useClock_ = 0;
    int lastBlock_ = -1;
    Block blocks_[kBlockCount];
};

}  // namespace pe
