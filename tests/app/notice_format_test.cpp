// The exit notice's descriptor, key and wParam for known layouts, and the addresses it refuses.
#include <gtest/gtest.h>

#include <cstring>

#include "app/notice_format.h"

namespace {

using notice::BuildNoticeMessage;
using notice::NoticeLayout;
using notice::NoticeMessage;

std::uint64_t Length(const char* text) {
    return std::strlen(text);
}

TEST(NoticeFormat, BuildsDescriptorKeyAndWParam) {
    const struct {
        const char* what;
        const char* processId;
        NoticeLayout layout;
        const char* descriptor;
        const char* key;
        std::uint32_t wParam;
    } cases[] = {
        {"worked example: a display name of 6 bytes", "4660",
         {10620400, 10620512, Length("[退出]Ordane")}, "10620400$12&10620512", "4466020", 4466020},
        {"empty display name: the notice alone is 6 bytes", "4660",
         {10620400, 10620512, Length("[退出]")}, "10620400$6&10620512", "4466019", 4466019},
        {"three Chinese characters count their bytes, not 3", "256",
         {5000, 6000, Length("[退出]测试名")}, "5000$12&6000", "325612", 325612},
        {"a seven-digit process id makes a key above 2^32 that wraps", "1000004",
         {1000000, 10000000, Length("[退出]")}, "1000000$6&10000000", "7100000418", 2805033122u},
        {"the highest addresses a 32-bit reader takes", "12",
         {2147483647, 2147483641, Length("[退出]")}, "2147483647$6&2147483641", "21223", 21223},
        {"address zero is written as 0", "4",
         {0, 16, 0}, "0$0&16", "146", 146},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NoticeMessage message;
        ASSERT_TRUE(BuildNoticeMessage(c.processId, c.layout, message));
        EXPECT_EQ(message.descriptor, c.descriptor);
        EXPECT_EQ(message.key, c.key);
        EXPECT_EQ(message.wParam, c.wParam);
    }
}

TEST(NoticeFormat, RefusesAddressesAboveSigned32Bits) {
    const struct {
        const char* what;
        NoticeLayout layout;
    } cases[] = {
        {"acknowledgement byte at 2^31", {0x80000000u, 4096, 6}},
        {"notice text at 2^31", {4096, 0x80000000u, 6}},
        {"notice text in an x86-64 image above 4 GiB", {4096, 0x140003000u, 6}},
        {"acknowledgement byte whose low 32 bits would look valid", {0x100001000u, 4096, 6}},
        {"a pointer sign-extended from a negative int", {0xFFFFFFFF80000000u, 4096, 6}},
        {"notice text starting below 2^31 and running past it", {4096, 2147483644, 6}},
        {"notice length above 2^31 - 1", {4096, 8192, 0x80000000u}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NoticeMessage message;
        message.descriptor = "untouched";
        EXPECT_FALSE(BuildNoticeMessage("4660", c.layout, message));
        EXPECT_EQ(message.descriptor, "untouched");
        EXPECT_EQ(message.wParam, 0u);
    }
}

TEST(NoticeFormat, KeyValueWrapsModulo2To32) {
    const struct {
        const char* key;
        std::uint32_t value;
    } cases[] = {
        {"0", 0},
        {"4294967295", 4294967295u},   // 2^32 - 1, the last value without wrapping
        {"4294967296", 0},             // 2^32
        {"7100000418", 2805033122u},   // 0xA73168A2
        {"123456789012345", 2249056121u},  // 123456789012345 mod 2^32: wraps more than once
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(notice::KeyValue(c.key), c.value);
    }
}

}  // namespace
