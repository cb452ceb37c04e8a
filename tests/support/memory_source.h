// MemorySource: a BlockSource over bytes in memory, for tests and fuzzing.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "pe/image_file.h"

namespace testsupport {

class MemorySource final : public pe::BlockSource {
public:
    explicit MemorySource(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}
    MemorySource(const unsigned char* data, std::size_t size) : bytes_(data, data + size) {}

    std::uint32_t ReadAt(std::uint64_t offset, void* buffer, std::uint32_t count) override {
        if (offset >= bytes_.size())
            return 0;
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, bytes_.size() - offset));
        std::memcpy(buffer, bytes_.data() + offset, n);
        return n;
    }

private:
    std::vector<unsigned char> bytes_;
};

}  // namespace testsupport
