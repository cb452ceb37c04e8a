// ImageFile against plain seeks and reads: every result and every position must be the same whether
// the bytes come from the block cache (over the file or over memory) or from one system call each.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <random>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "file/os_file.h"
#include "memory_source.h"
#include "pe/image_file.h"
#include "test_support.h"

namespace {

constexpr std::uint32_t kBlock = pe::ImageFile::kBlockSize;

std::set<int> OpenDescriptors() {
    std::set<int> fds;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (const dirent* e = ::readdir(dir)) {
            if (e->d_name[0] != '.')
                fds.insert(std::atoi(e->d_name));
        }
        ::closedir(dir);
    }
    return fds;
}

// The plain file, and the descriptor it holds, so that its position can be asked with lseek.
struct PlainFile {
    file::OsFile os;
    int fd = -1;

    // Opens the file, and finds the descriptor that names it; no other descriptor of this process
    // has it open yet.
    bool Open(const std::string& path) {
        std::string message;
        if (!os.Open(path.c_str(), message))
            return false;
        char* real = ::realpath(path.c_str(), nullptr);
        const std::string target = real != nullptr ? real : path;
        std::free(real);
        for (const int candidate : OpenDescriptors()) {
            char link[4096];
            const std::string name = "/proc/self/fd/" + std::to_string(candidate);
            const ssize_t n = ::readlink(name.c_str(), link, sizeof link);
            if (n > 0 && std::string(link, static_cast<std::size_t>(n)) == target)
                fd = candidate;
        }
        return fd >= 0;
    }
    std::int64_t Position() const { return ::lseek(fd, 0, SEEK_CUR); }

    // What ImageFile::ReadWhole promises, from plain operations.
    bool ReadWhole(unsigned char* buffer, std::uint32_t count) {
        const std::int64_t before = Position();
        if (os.Read(buffer, count) == count)
            return true;
        os.Seek(static_cast<std::int32_t>(before));
        return false;
    }

    // What ImageFile::ReadText promises, from plain reads: a chunk is read, then the position is set
    // back to just past the zero byte or the last byte taken.
    std::string ReadText(std::uint32_t limit) {
        std::string text;
        unsigned char chunk[4096];
        while (text.size() < limit) {
            const std::int64_t start = Position();
            const auto want = static_cast<std::uint32_t>(std::min<std::size_t>(sizeof chunk, limit - text.size()));
            const std::uint32_t n = os.Read(chunk, want);
            for (std::uint32_t i = 0; i < n; ++i) {
                if (chunk[i] == 0) {
                    os.Seek(static_cast<std::int32_t>(start + i + 1));
                    return text;
                }
                text.push_back(static_cast<char>(chunk[i]));
            }
            if (n < want)
                break;  // the end of the file
        }
        return text;
    }
};

std::vector<unsigned char> RandomBytes(std::mt19937& rng, std::size_t size) {
    std::vector<unsigned char> bytes(size);
    // Stretches with zero bytes now and then, and long ones without any, so texts end anywhere.
    std::uint32_t zeroOneIn = 16;
    for (std::size_t i = 0; i < size; ++i) {
        if (i % 4096 == 0)
            zeroOneIn = rng() % 3 == 0 ? 0 : 1u << (rng() % 12);
        const auto b = static_cast<unsigned char>(rng());
        bytes[i] = zeroOneIn != 0 && rng() % zeroOneIn == 0 ? 0 : (b == 0 ? 1 : b);
    }
    return bytes;
}

std::int32_t RandomPosition(std::mt19937& rng, std::uint32_t size) {
    switch (rng() % 8) {
    case 0: return -static_cast<std::int32_t>(rng() % 0x7FFFFFFF) - 1;  // negative: fails
    case 1: return static_cast<std::int32_t>(size);
    case 2: return static_cast<std::int32_t>(size + rng() % (2 * kBlock));  // past the end
    case 3: {
        const std::uint32_t blocks = size / kBlock + 2;
        return static_cast<std::int32_t>((rng() % blocks) * kBlock + (rng() % 3) - 1);  // a block edge, +-1
    }
    case 4: return rng() % 2 ? INT32_MAX : 0;
    default: return static_cast<std::int32_t>(size == 0 ? 0 : rng() % size);
    }
}

std::uint32_t RandomCount(std::mt19937& rng) {
    switch (rng() % 8) {
    case 0: return rng() % 2 ? 2 : 4;
    case 1: return 40;
    case 2: return static_cast<std::uint32_t>(rng() % (3 * kBlock));
    case 3: return rng() % 10 == 0 ? (1u << 20) : kBlock;
    case 4: return 0;
    default: return static_cast<std::uint32_t>(rng() % 300);
    }
}

void RunSequence(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    const std::vector<unsigned char> bytes = RandomBytes(rng, size);
    const testsupport::TempFile temp(bytes);

    PlainFile plain;
    ASSERT_TRUE(plain.Open(temp.path()));
    file::OsFile cachedOs;
    std::string message;
    ASSERT_TRUE(cachedOs.Open(temp.path().c_str(), message));
    pe::ImageFile cached(cachedOs);
    testsupport::MemorySource memory(bytes);
    pe::ImageFile inMemory(memory);

    std::vector<unsigned char> want(1u << 20), got(1u << 20), gotMem(1u << 20);
    const auto fileSize = static_cast<std::uint32_t>(size);
    for (int step = 0; step < 3000; ++step) {
        std::string op;
        switch (rng() % 5) {
        case 0:
        case 1: {
            const std::int32_t pos = RandomPosition(rng, fileSize);
            op = "Seek(" + std::to_string(pos) + ")";
            const bool ok = plain.os.Seek(pos);
            EXPECT_EQ(cached.Seek(pos), ok) << op;
            EXPECT_EQ(inMemory.Seek(pos), ok) << op;
            break;
        }
        case 2: {
            const std::uint32_t n = RandomCount(rng);
            op = "Read(" + std::to_string(n) + ")";
            const std::uint32_t w = plain.os.Read(want.data(), n);
            ASSERT_EQ(cached.Read(got.data(), n), w) << op;
            ASSERT_EQ(inMemory.Read(gotMem.data(), n), w) << op;
            EXPECT_TRUE(std::equal(want.begin(), want.begin() + w, got.begin())) << op;
            EXPECT_TRUE(std::equal(want.begin(), want.begin() + w, gotMem.begin())) << op;
            break;
        }
        case 3: {
            const std::uint32_t n = RandomCount(rng);
            op = "ReadWhole(" + std::to_string(n) + ")";
            const bool w = plain.ReadWhole(want.data(), n);
            ASSERT_EQ(cached.ReadWhole(got.data(), n), w) << op;
            ASSERT_EQ(inMemory.ReadWhole(gotMem.data(), n), w) << op;
            if (w) {
                EXPECT_TRUE(std::equal(want.begin(), want.begin() + n, got.begin())) << op;
                EXPECT_TRUE(std::equal(want.begin(), want.begin() + n, gotMem.begin())) << op;
            }
            break;
        }
        default: {
            const std::uint32_t limit = rng() % 4 == 0 ? RandomCount(rng) : UINT32_MAX;
            op = "ReadText(" + std::to_string(limit) + ")";
            const std::string w = plain.ReadText(limit);
            std::string text;
            cached.ReadText(text, limit);
            EXPECT_EQ(text, w) << op;
            inMemory.ReadText(text, limit);
            EXPECT_EQ(text, w) << op;
            break;
        }
        }
        const std::int64_t position = plain.Position();
        ASSERT_EQ(static_cast<std::int64_t>(cached.Position()), position) << "after step " << step << ": " << op;
        ASSERT_EQ(static_cast<std::int64_t>(inMemory.Position()), position) << "after step " << step << ": " << op;
        if (::testing::Test::HasFailure())
            return;
    }
}

TEST(ImageFile, AgreesWithPlainSeeksAndReads) {
    const std::size_t sizes[] = {0,           1,
                                 kBlock - 1,  kBlock,
                                 kBlock + 1,  3 * std::size_t{kBlock} + 17,
                                 // more blocks than the cache holds, so blocks are dropped and read again
                                 (pe::ImageFile::kBlockCount + 2) * std::size_t{kBlock} + 5};
    unsigned seed = 1;
    for (const std::size_t size : sizes) {
        for (int run = 0; run < 2; ++run, ++seed) {
            SCOPED_TRACE("file of " + std::to_string(size) + " bytes, seed " + std::to_string(seed));
            RunSequence(size, seed);
            if (HasFailure())
                return;
        }
    }
}

// The cases the random runs reach only by chance, spelled out.
TEST(ImageFile, EdgesOfBlocksAndOfTheFile) {
    std::vector<unsigned char> bytes(2 * kBlock + 10, 'a');
    bytes[kBlock - 1] = 0;        // a text ending on the last byte of block 0
    bytes[2 * kBlock + 9] = 'z';  // the last byte, no zero after it
    testsupport::MemorySource source(bytes);
    pe::ImageFile file(source);
    unsigned char buffer[16];
    std::string text;

    ASSERT_TRUE(file.Seek(static_cast<std::int32_t>(kBlock - 2)));
    EXPECT_EQ(file.Read(buffer, 4), 4u);  // crosses into block 1
    EXPECT_EQ(buffer[1], 0);
    EXPECT_EQ(file.Position(), kBlock + 2);

    EXPECT_FALSE(file.Seek(-1));
    EXPECT_EQ(file.Position(), kBlock + 2);
    EXPECT_FALSE(file.Seek(INT32_MIN));
    EXPECT_EQ(file.Position(), kBlock + 2);

    ASSERT_TRUE(file.Seek(static_cast<std::int32_t>(kBlock - 3)));
    file.ReadText(text, UINT32_MAX);
    EXPECT_EQ(text, "aa");
    EXPECT_EQ(file.Position(), kBlock);  // just past the zero byte

    ASSERT_TRUE(file.Seek(static_cast<std::int32_t>(2 * kBlock + 5)));
    EXPECT_FALSE(file.ReadWhole(buffer, 6));
    EXPECT_EQ(file.Position(), 2 * kBlock + 5);  // a short whole read does not move
    EXPECT_EQ(file.Read(buffer, 6), 5u);
    EXPECT_EQ(file.Position(), 2 * kBlock + 10);

    ASSERT_TRUE(file.Seek(static_cast<std::int32_t>(2 * kBlock + 7)));
    file.ReadText(text, UINT32_MAX);
    EXPECT_EQ(text, "aaz");
    EXPECT_EQ(file.Position(), 2 * kBlock + 10);  // at the end: no zero byte came

    ASSERT_TRUE(file.Seek(INT32_MAX));
    EXPECT_EQ(file.Read(buffer, 16), 0u);
    EXPECT_EQ(file.Position(), std::uint64_t{INT32_MAX});
    file.ReadText(text, UINT32_MAX);
    EXPECT_EQ(text, "");

    // A text cut at its limit leaves the position right after the bytes taken.
    ASSERT_TRUE(file.Seek(static_cast<std::int32_t>(kBlock + 10)));
    file.ReadText(text, 5);
    EXPECT_EQ(text, "aaaaa");
    EXPECT_EQ(file.Position(), kBlock + 15);
    file.ReadText(text, 0);
    EXPECT_EQ(text, "");
    EXPECT_EQ(file.Position(), kBlock + 15);
}

}  // namespace
