// ImageFile: plain seek and read semantics over a small cache of file blocks.
#include "pe/image_file.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace pe {

ImageFile::ImageFile(BlockSource& source) : source_(source) {}

ImageFile::~ImageFile() = default;

bool ImageFile::Seek(std::int32_t position) {
    if (position < 0)
        return false;
    position_ = static_cast<std::uint64_t>(position);
    return true;
}

const ImageFile::Block& ImageFile::BlockAt(std::uint64_t position) {
    const std::uint64_t start = position - position % kBlockSize;
    if (lastBlock_ >= 0 && blocks_[lastBlock_].bytes && blocks_[lastBlock_].start == start)
        return blocks_[lastBlock_];

    int slot = 0;
    for (int i = 0; i < kBlockCount; ++i) {
        Block& b = blocks_[i];
        if (b.bytes && b.start == start) {
            b.lastUse = ++useClock_;
            lastBlock_ = i;
            return b;
        }
        // Prefer an unused slot, then the least recently used one.
        if (!b.bytes || (blocks_[slot].bytes && b.lastUse < blocks_[slot].lastUse))
            slot = i;
    }

    Block& b = blocks_[slot];
    if (!b.bytes)
        b.bytes.reset(new unsigned char[kBlockSize]);
    b.start = start;
    b.length = source_.ReadAt(start, b.bytes.get(), kBlockSize);
    b.lastUse = ++useClock_;
    lastBlock_ = slot;
    return b;
}

std::uint32_t ImageFile::Read(void* buffer, std::uint32_t count) {
    auto* out = static_cast<unsigned char*>(buffer);
    std::uint32_t done = 0;
    while (done < count) {
        const Block& b = BlockAt(position_);
        const std::uint64_t inBlock = position_ - b.start;
        if (inBlock >= b.length)
            break;  // the file ends here
        const auto take = static_cast<std::uint32_t>(std::min<std::uint64_t>(count - done, b.length - inBlock));
        std::memcpy(out + done, b.bytes.get() + inBlock, take);
        done += take;
        position_ += take;
    }
    return done;
}

bool ImageFile::ReadWhole(void* buffer, std::uint32_t count) {
    const std::uint64_t before = position_;
    if (Read(buffer, count) == count)
        return true;
    position_ = before;
    return false;
}

void ImageFile::ReadText(std::string& text, std::uint32_t limit) {
    text.clear();
    while (text.size() < limit) {
        const Block& b = BlockAt(position_);
        const std::uint64_t inBlock = position_ - b.start;
        if (inBlock >= b.length)
            return;  // the file ends without a zero byte
        const char* from = reinterpret_cast<const char*>(b.bytes.get() + inBlock);
        const auto avail = static_cast<std::size_t>(std::min<std::uint64_t>(b.length - inBlock, limit - text.size()));
        if (const void* zero = std::memchr(from, 0, avail)) {
            const auto n = static_cast<std::size_t>(static_cast<const char*>(zero) - from);
            text.append(from, n);
            position_ += n + 1;
            return;
        }
        text.append(from, avail);
        position_ += avail;
    }
}

}  // namespace pe
