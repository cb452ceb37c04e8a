// The texts and numbers of the exit notice message: descriptor, key and wParam. Portable; no Win32.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace notice {

// Where the notice bytes lie in this process. Addresses are whatever the platform hands out; the
// host takes each one as a non-negative signed 32-bit "%d", so they are checked before use.
struct NoticeLayout {
    std::uint64_t ackAddress = 0;     // A: the acknowledgement byte
    std::uint64_t noticeAddress = 0;  // T: the first byte of the notice text
    std::uint64_t noticeLength = 0;   // L: bytes of the notice text, no terminating zero
};

// What goes into the message: lParam is the address of `descriptor`'s first byte.
struct NoticeMessage {
    std::string descriptor;   // "%d" of A, "$", "%d" of L, "&", "%d" of T
    std::string key;          // "%d" of the length of the process id text, that text, "%d" of D
    std::uint32_t wParam = 0;  // `key` as a decimal number modulo 2^32
};

// "%d" of a signed 32-bit value: no leading zeros, a sign only when negative.
std::string DecimalText(std::int32_t value);

// An address or length as the host reads it: true and `out` set when 0 <= value <= 2^31 - 1.
// A value that does not fit is refused, never cut to 32 bits.
bool FitsHostNumber(std::uint64_t value, std::int32_t& out);

// The key read as a decimal number, accumulated as value * 10 + digit in 32-bit unsigned arithmetic
// that wraps modulo 2^32. The key holds decimal digits only; any other byte is passed over.
std::uint32_t KeyValue(std::string_view key);

// Builds the descriptor, key and wParam for `layout` and this process's id text. False, with `out`
// untouched, when A, L or T, or the last byte of the notice text, lies outside 0..2^31 - 1: the host
// would read another place than the one meant.
bool BuildNoticeMessage(std::string_view processIdText, const NoticeLayout& layout, NoticeMessage& out);

}  // namespace notice
