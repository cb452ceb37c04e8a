// The exit notice's descriptor, key and wParam, built from plain numbers.
#include "app/notice_format.h"

#include <cstdio>
#include <utility>

namespace notice {
namespace {

constexpr std::uint64_t kLargestHostNumber = 0x7FFFFFFF;

}  // namespace

std::string DecimalText(std::int32_t value) {
    char text[16];  // "-2147483648" and the terminating zero
    const int n = std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    return std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0);
}

bool FitsHostNumber(std::uint64_t value, std::int32_t& out) {
    if (value > kLargestHostNumber)
        return false;
    out = static_cast<std::int32_t>(value);
    return true;
}

std::uint32_t KeyValue(std::string_view key) {
    std::uint32_t value = 0;
    for (const char c : key) {
        if (c >= '0' && c <= '9')
            value = value * 10u + static_cast<std::uint32_t>(c - '0');
    }
    return value;
}

bool BuildNoticeMessage(std::string_view processIdText, const NoticeLayout& layout, NoticeMessage& out) {
    std::int32_t a = 0;
    std::int32_t l = 0;
    std::int32_t t = 0;
    if (!FitsHostNumber(layout.ackAddress, a) || !FitsHostNumber(layout.noticeLength, l) ||
        !FitsHostNumber(layout.noticeAddress, t))
        return false;
    // The host reads L bytes from T; all of them must lie where a 32-bit reader can reach. Both terms
    // are below 2^31 here, so the sum cannot wrap.
    if (l > 0 && layout.noticeAddress + layout.noticeLength - 1 > kLargestHostNumber)
        return false;
    std::int32_t idLength = 0;
    if (!FitsHostNumber(processIdText.size(), idLength))
        return false;

    NoticeMessage message;
    message.descriptor = DecimalText(a) + "$" + DecimalText(l) + "&" + DecimalText(t);
    message.key = DecimalText(idLength);
    message.key += processIdText;
    message.key += DecimalText(static_cast<std::int32_t>(message.descriptor.size()));
    message.wParam = KeyValue(message.key);
    out = std::move(message);
    return true;
}

}  // namespace notice
