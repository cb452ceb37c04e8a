// Little-endian field decoding: the one way bytes read from an image become numbers.
#pragma once

#include <cstdint>

namespace pe {

inline std::uint16_t LoadLe16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline std::uint32_t LoadLe32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

inline std::uint64_t LoadLe64(const unsigned char* p) {
    return std::uint64_t(LoadLe32(p)) | std::uint64_t(LoadLe32(p + 4)) << 32;
}

// Walks a record's bytes in field order. Image fields of 2, 4 and 8 bytes are signed two's complement
// values (C++20 defines the conversion); 1-byte fields are unsigned.
class FieldCursor {
public:
    explicit FieldCursor(const unsigned char* bytes) : p_(bytes) {}

    std::uint8_t U8() { return *p_++; }
    std::int16_t I16() { return static_cast<std::int16_t>(Take(LoadLe16(p_), 2)); }
    std::int32_t I32() { return static_cast<std::int32_t>(Take(LoadLe32(p_), 4)); }
    std::int64_t I64() { return static_cast<std::int64_t>(Take(LoadLe64(p_), 8)); }

private:
    template <typename T>
    T Take(T value, int width) {
        p_ += width;
        return value;
    }

    const unsigned char* p_;
};

}  // namespace pe
