// The export walk and the load by path: rows from tiny images, each changed in one place.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pe/export_list.h"
#include "pe_builder.h"
#include "test_support.h"

namespace {

using testsupport::PeBuilder;
using testsupport::PeImage;
using Rows = std::vector<std::string>;
namespace off = testsupport::off;

// The default image's rows (see PeBuilder).
const std::string kAlpha = "0001\tAlpha\t00001010\t00000210";
const std::string kBeta = "0003\tBeta\t00001030\t00000230";
const std::string kGamma = "0002\tGamma\t00001020\t00000220";

// The default image with one change made to its bytes.
std::function<PeImage()> Patched(std::function<void(PeImage&)> change, bool pe32plus = false) {
    return [change, pe32plus] {
        PeBuilder b;
        b.pe32plus = pe32plus;
        PeImage image = b.Build();
        change(image);
        return image;
    };
}

// An image from a builder with one setting changed.
std::function<PeImage()> Built(std::function<void(PeBuilder&)> change) {
    return [change] {
        PeBuilder b;
        change(b);
        return b.Build();
    };
}

struct WalkCase {
    const char* what;
    std::function<PeImage()> image;
    Rows rows;
};

void RunCases(const std::vector<WalkCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const PeImage image = c.image();
        const Rows loaded = testsupport::LoadRows(image.bytes);
        EXPECT_EQ(loaded, c.rows);
        // The same walk over the bytes in memory gives the same rows.
        EXPECT_EQ(testsupport::ListRows(image.bytes), loaded);
    }
}

TEST(ExportWalk, WhenTheWalkRunsAtAll) {
    RunCases({
        {"default image", Patched([](PeImage&) {}), {kAlpha, kBeta, kGamma}},
        {"PE32+ image", Patched([](PeImage&) {}, true), {kAlpha, kBeta, kGamma}},
        {"export entry Size 0", Patched([](PeImage& i) { i.Put32(i.at.exportEntry + 4, 0); }), {}},
        {"export entry Size negative", Patched([](PeImage& i) { i.Put32(i.at.exportEntry + 4, 0x80000000u); }),
         {}},
        {"export entry Size 1 is enough", Patched([](PeImage& i) { i.Put32(i.at.exportEntry + 4, 1); }),
         {kAlpha, kBeta, kGamma}},
        {"PE32+ export entry Size 0", Patched([](PeImage& i) { i.Put32(i.at.exportEntry + 4, 0); }, true), {}},
        {"no export section: entry 0, 0", Built([](PeBuilder& b) { b.exportSection = 9; }), {}},
        {"export directory cut one byte short",
         Patched([](PeImage& i) { i.CutAt(i.at.exportDirectory + 39); }), {}},
        {"export directory RVA in no section, past the end of the file",
         Patched([](PeImage& i) { i.Put32(i.at.exportEntry, 0x9000); }), {}},
        {"export directory at a negative position: read where the section table ended",
         Patched([](PeImage& i) { i.Put32(i.at.exportEntry, 0x80000000u); }), {}},
        {"Name 0", Patched([](PeImage& i) { i.Put32(i.at.exportDirectory + off::Name, 0); }), {}},
        {"Name negative is not 0",
         Patched([](PeImage& i) { i.Put32(i.at.exportDirectory + off::Name, 0xFFFFFFFFu); }),
         {kAlpha, kBeta, kGamma}},
        {"NumberOfNames 0", Patched([](PeImage& i) { i.Put32(i.at.exportDirectory + off::NumberOfNames, 0); }),
         {}},
        {"NumberOfNames -1",
         Patched([](PeImage& i) { i.Put32(i.at.exportDirectory + off::NumberOfNames, 0xFFFFFFFFu); }), {}},
        {"NumberOfNames 0x80000000",
         Patched([](PeImage& i) { i.Put32(i.at.exportDirectory + off::NumberOfNames, 0x80000000u); }), {}},
        {"NumberOfNames 1", Patched([](PeImage& i) { i.Put32(i.at.exportDirectory + off::NumberOfNames, 1); }),
         {kAlpha}},
        {"NumberOfFunctions and Base are not consulted",
         Patched([](PeImage& i) {
             i.Put32(i.at.exportDirectory + off::NumberOfFunctions, 0);
             i.Put32(i.at.exportDirectory + off::Base, 0x100);
         }),
         {kAlpha, kBeta, kGamma}},
    });
}

TEST(ExportWalk, ValuesOfARow) {
    RunCases({
        {"forwarder: the RVA of its text, and that text's position",
         Built([](PeBuilder& b) { b.functions[1].forwarder = "KERNEL32.Beep"; }),
         {kAlpha, kBeta, "0002\tGamma\t00002044\t00000444"}},
        {"function RVA in no section: the offset is the RVA",
         Built([](PeBuilder& b) { b.functions[2].rva = 0x9000; }),
         {kAlpha, "0003\tBeta\t00009000\t00009000", kGamma}},
        {"function RVA in a section's tail past its raw data",
         Built([](PeBuilder& b) {
             b.sections[0].sizeOfRawData = 0x80;
             b.functions[0].rva = 0x10FF;
         }),
         {"0001\tAlpha\t000010FF\t000002FF", kBeta, kGamma}},
        {"function RVA at the closed end of .text",
         Built([](PeBuilder& b) { b.functions[0].rva = 0x1100; }),
         {"0001\tAlpha\t00001100\t00000300", kBeta, kGamma}},
        {"function RVA negative", Built([](PeBuilder& b) { b.functions[0].rva = 0xFFFFFFF0; }),
         {"0001\tAlpha\tFFFFFFF0\tFFFFFFF0", kBeta, kGamma}},
        {"ordinal 0xFFFF: index 10000, function read far past the end",
         Patched([](PeImage& i) { i.Put16(i.at.ordinals, 0xFFFF); }),
         {"10000\tAlpha\t00000000\t00000000", kBeta, kGamma}},
        {"ordinal 0x8000 reads its function RVA 0x20000 bytes into the table",
         Patched([](PeImage& i) {
             i.Put16(i.at.ordinals, 0x8000);
             i.Put32(i.at.functions + 0x20000, 0x1040);
         }),
         {"8001\tAlpha\t00001040\t00000240", kBeta, kGamma}},
        {"ordinal index at NumberOfFunctions reads what follows the table",
         Patched([](PeImage& i) { i.Put16(i.at.ordinals, 3); }),
         {"0004\tAlpha\t00002033\t00000433", kBeta, kGamma}},
        {"duplicate ordinals give duplicate rows",
         Built([](PeBuilder& b) {
             for (auto& n : b.names)
                 n.ordinalIndex = 1;
         }),
         {"0002\tAlpha\t00001020\t00000220", "0002\tBeta\t00001020\t00000220", "0002\tGamma\t00001020\t00000220"}},
        {"duplicate names are kept, in table order",
         Built([](PeBuilder& b) { b.names = {{"Same", 0}, {"Same", 0}}; }),
         {"0001\tSame\t00001010\t00000210", "0001\tSame\t00001010\t00000210"}},
        {"empty name", Built([](PeBuilder& b) { b.names[1].name = ""; }),
         {kAlpha, "0003\t\t00001030\t00000230", kGamma}},
        {"name bytes are kept as they are",
         Built([](PeBuilder& b) { b.names[0].name = "\xC4\xE3\xBA\xC3\t\x01\xFF"; }),
         {"0001\t\xC4\xE3\xBA\xC3\t\x01\xFF\t00001010\t00000210", kBeta, kGamma}},
        {"name position past the end of the file: empty name",
         Patched([](PeImage& i) { i.Put32(i.at.names + 4, 0x2F00); }),
         {kAlpha, "0003\t\t00001030\t00000230", kGamma}},
        {"name position negative: read where the name pointer read ended",
         Patched([](PeImage& i) {
             i.Put32(i.at.names, 0x80000000u);
             i.Put32(i.at.exportDirectory + off::NumberOfNames, 1);
         }),
         {"0001\t9 \t00001010\t00000210"}},
        {"tables that run past the end of their section are read on in the file",
         Patched([](PeImage& i) {
             // .edata's range ends 2 bytes into the ordinal table
             i.Put32(i.at.sectionTable + 40 + off::VirtualSize, 0x5E);
         }),
         {kAlpha, kBeta, kGamma}},
    });
}

// The last name in the file, with the .edata range stretched over the file's last bytes.
TEST(ExportWalk, NameWithoutTerminatorAtTheEndOfTheFile) {
    PeBuilder b;
    b.sections[1].virtualSize = 0x200;
    PeImage image = b.Build();
    ASSERT_EQ(image.bytes.size(), 0x600u);
    image.PutText(0x5FD, "Gam", false);
    image.Put32(image.at.names + 8, 0x21FD);
    EXPECT_EQ(testsupport::LoadRows(image.bytes), (Rows{kAlpha, kBeta, "0002\tGam\t00001020\t00000220"}));
    image.bytes.back() = 0;
    EXPECT_EQ(testsupport::LoadRows(image.bytes), (Rows{kAlpha, kBeta, "0002\tGa\t00001020\t00000220"}));
}

// A short 2- or 4-byte read leaves the value of the iteration before (0 in the first) and the position
// where it was; a seek to a negative position fails and the read happens where the last one left off.
TEST(ExportWalk, ShortReadsAndFailedSeeks) {
    RunCases({
        {"file cut inside the ordinal table: the last ordinal repeats",
         Patched([](PeImage& i) { i.CutAt(i.at.ordinals + 3); }),
         {kAlpha, "0001\tBeta\t00001010\t00000210", "0001\tGamma\t00001010\t00000210"}},
        {"file cut inside the name pointer table: ordinals stay 0, the name RVA repeats",
         Patched([](PeImage& i) { i.CutAt(i.at.names + 6); }),
         {kAlpha, "0001\tAlpha\t00001010\t00000210", "0001\tAlpha\t00001010\t00000210"}},
        {"file cut inside the export address table: ordinal and name RVA stay 0, name read at 0",
         Patched([](PeImage& i) { i.CutAt(i.at.functions + 6); }),
         {"0001\tMZ\t00001010\t00000210", "0001\tMZ\t00001010\t00000210", "0001\tMZ\t00001010\t00000210"}},
        {"function RVA past the end of the file repeats the one before",
         Patched([](PeImage& i) { i.Put16(i.at.ordinals + 2, 0x1000); }),
         {kAlpha, "1001\tBeta\t00001010\t00000210", kGamma}},
        {"ordinal table at a negative position: each ordinal is read where the last read ended",
         // After the directory: "sa" of "sample.dll"; after each name: the next name's first bytes.
         Patched([](PeImage& i) { i.Put32(i.at.exportDirectory + off::AddressOfNameOrdinals, 0x80000000u); }),
         {"6174\tAlpha\t00000000\t00000000", "6543\tBeta\t00000000\t00000000",
          "6148\tGamma\t00000000\t00000000"}},
        {"a short name pointer read keeps the position for the failed name seek after it",
         // Name 1 sits at a negative position, so it is read right after its pointer: the two bytes
         // "Hi" that end the file. Pointer 2 is cut short there: its value repeats, and the position
         // stays before "Hi", so name 2 is "Hi" again.
         Patched([](PeImage& i) {
             i.Put32(i.at.exportDirectory + off::NumberOfNames, 2);
             i.Put32(i.at.names, 0x80000000u);
             i.CutAt(i.at.names + 4);
             i.PutText(i.at.names + 4, "Hi", false);
         }),
         {"0001\tHi\t00001010\t00000210", "0001\tHi\t00001010\t00000210"}},
    });
}

// Counts rows and keeps only the length of each name, for walks too big to keep.
class NameLengths final : public pe::ExportRowSink {
public:
    void Clear() override { lengths.clear(); }
    void Append(const pe::ExportRow& row) override {
        lengths.push_back(row.FunctionName.size());
        if (lengths.size() == 1)
            first = row;
        last = row;
    }
    std::vector<std::size_t> lengths;
    pe::ExportRow first, last;
};

NameLengths Load(const std::vector<unsigned char>& bytes) {
    const testsupport::TempFile file(bytes);
    pe::ImageHeaders headers;
    NameLengths sink;
    pe::LoadExportList(file.path().c_str(), headers, sink);
    return sink;
}

TEST(ExportWalk, HostileCountsAndLengthsAreBounded) {
    {
        SCOPED_TRACE("NumberOfNames 0x7FFFFFFF");
        PeImage image = PeBuilder().Build();
        image.Put32(image.at.exportDirectory + off::NumberOfNames, 0x7FFFFFFF);
        const NameLengths sink = Load(image.bytes);
        EXPECT_EQ(sink.lengths.size(), static_cast<std::size_t>(pe::kMaxExportRows));
        EXPECT_EQ(sink.lengths.size(), 131072u);
    }
    // Names placed at the end of the file, at an RVA no section holds (so it maps to itself).
    const std::uint32_t at = 0x600;
    const struct {
        const char* what;
        std::size_t length;
        bool terminated;
        std::size_t kept;
    } names[] = {
        {"100,000 bytes without a zero: cut", 100000, false, 65536},
        {"64 KiB and a zero byte: whole", 65536, true, 65536},
        {"64 KiB + 1 and a zero byte: cut", 65537, true, 65536},
        {"64 KiB - 1 without a zero, at the end of the file: whole", 65535, false, 65535},
    };
    for (const auto& n : names) {
        SCOPED_TRACE(n.what);
        PeImage image = PeBuilder().Build();
        image.Put32(image.at.names, at);
        image.PutText(at, std::string(n.length, 'n'), n.terminated);
        const NameLengths sink = Load(image.bytes);
        ASSERT_EQ(sink.lengths.size(), 3u);
        EXPECT_EQ(sink.lengths[0], n.kept);
        EXPECT_EQ(sink.first.FunctionName, std::string(n.kept, 'n'));
        EXPECT_EQ(sink.lengths[1], 4u);  // Beta: nothing leaks into the next row
    }
    EXPECT_EQ(pe::kMaxNameBytes, 65536u);
}

// A cut name leaves the position just past the bytes taken: with the ordinal table at a negative
// position, the next ordinal is read right there.
TEST(ExportWalk, CutNameLeavesThePositionAfterTheBytesTaken) {
    PeImage image = PeBuilder().Build();
    image.Put32(image.at.exportDirectory + off::NumberOfNames, 2);
    image.Put32(image.at.exportDirectory + off::AddressOfNameOrdinals, 0x80000000u);
    image.Put32(image.at.names, 0x600);
    image.Put32(image.at.names + 4, 0x600);
    image.PutText(0x600, std::string(65536, 'n') + "pq" + std::string(100000, 'n'), false);
    NameLengths sink = Load(image.bytes);
    ASSERT_EQ(sink.lengths.size(), 2u);
    // Row 1: ordinal "sa" (after the directory), its function RVA read from the 'n's.
    EXPECT_EQ(sink.first.IndexText, "6174");
    EXPECT_EQ(sink.first.RvaText, "6E6E6E6E");
    EXPECT_EQ(sink.lengths[0], 65536u);
    // Row 2: ordinal "pq", read just past the 65,536 bytes taken.
    EXPECT_EQ(sink.last.IndexText, "7171");
    EXPECT_EQ(sink.lengths[1], 65536u);
}

TEST(ExportWalk, NameBytesPerLoadAreBounded) {
    // 1,100 names, all the same 64 KiB text: 1,024 of them fill the per-load allowance, the rest are
    // empty.
    const std::uint32_t text = 0x600;
    const std::uint32_t table = 0x600 + 0x10004;
    const std::size_t count = 1100;
    PeImage image = PeBuilder().Build();
    image.Put32(image.at.exportDirectory + off::NumberOfNames, count);
    image.Put32(image.at.exportDirectory + off::AddressOfNames, table);
    image.PutText(text, std::string(65536, 'x'));
    for (std::size_t i = 0; i < count; ++i)
        image.Put32(table + 4 * i, text);
    const NameLengths sink = Load(image.bytes);
    ASSERT_EQ(sink.lengths.size(), count);
    EXPECT_EQ(pe::kMaxNameBytesPerLoad, 64u * 1024 * 1024);
    for (std::size_t i = 0; i < count; ++i) {
        if (sink.lengths[i] != (i < 1024 ? 65536u : 0u)) {
            ADD_FAILURE() << "name " << i << " has " << sink.lengths[i] << " bytes";
            break;
        }
    }
}

TEST(LoadExportList, LoadingTwiceClearsFirst) {
    const PeImage image = PeBuilder().Build();
    const testsupport::TempFile file(image.bytes);
    pe::ImageHeaders headers;
    testsupport::RowCollector sink;
    EXPECT_FALSE(pe::LoadExportList(file.path().c_str(), headers, sink).failed);
    EXPECT_FALSE(pe::LoadExportList(file.path().c_str(), headers, sink).failed);
    EXPECT_EQ(sink.rows, (Rows{kAlpha, kBeta, kGamma}));
    EXPECT_EQ(sink.clears, 2);
}

TEST(LoadExportList, UnopenablePathLeavesSinkEmptyAndHeadersUntouched) {
    const testsupport::TempDir dir;
    const std::string missing = dir.path() + "/missing.dll";
    const struct {
        const char* what;
        const char* path;
    } cases[] = {
        {"missing file", missing.c_str()},
        {"folder", dir.path().c_str()},
        {"empty path", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        pe::ImageHeaders headers;
        headers.DosHeader.e_lfanew = 0x1234;
        headers.Sections.resize(3);
        testsupport::RowCollector sink;
        sink.rows = {"a row of an earlier file"};
        const pe::OpenFailure failure = pe::LoadExportList(c.path, headers, sink);
        EXPECT_TRUE(failure.failed);
        EXPECT_FALSE(failure.message.empty());
        EXPECT_TRUE(sink.rows.empty());
        EXPECT_EQ(sink.clears, 1);
        EXPECT_EQ(headers.DosHeader.e_lfanew, 0x1234);
        EXPECT_EQ(headers.Sections.size(), 3u);
    }
    // An empty file opens: no failure, no rows.
    const testsupport::TempFile empty(std::string{});
    pe::ImageHeaders headers;
    testsupport::RowCollector sink;
    EXPECT_FALSE(pe::LoadExportList(empty.path().c_str(), headers, sink).failed);
    EXPECT_TRUE(sink.rows.empty());
}

// A whole image written by hand, as a fixed point independent of the builder: no sections (every RVA
// maps to itself), the export directory at 0x138 right after the NT headers, one name "Hi".
TEST(ExportWalk, HandWrittenImage) {
    std::vector<unsigned char> bytes(0x16D, 0);
    const unsigned char dos[] = {'M', 'Z'};
    const unsigned char lfanew[] = {0x40, 0, 0, 0};  // at 0x3C
    const unsigned char nt[] = {
        'P', 'E', 0, 0, 0x4C, 0x01, 0x00, 0x00,  // i386, no sections
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,      //
        0xE0, 0x00, 0x02, 0x21,                  //
        0x0B, 0x01,                              // Magic PE32
    };
    const unsigned char exportEntry[] = {0x38, 0x01, 0, 0, 0x40, 0, 0, 0};  // at NT + 120 = 0xB8
    const unsigned char directory[] = {
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // Characteristics, TimeDateStamp, versions
        0x6A, 0x01, 0, 0,                    // Name 0x16A (any non-zero)
        1, 0, 0, 0,                          // Base
        1, 0, 0, 0,                          // NumberOfFunctions
        1, 0, 0, 0,                          // NumberOfNames
        0x60, 0x01, 0, 0,                    // AddressOfFunctions
        0x64, 0x01, 0, 0,                    // AddressOfNames
        0x68, 0x01, 0, 0,                    // AddressOfNameOrdinals
    };
    const unsigned char tables[] = {
        0x34, 0x12, 0, 0,  // 0x160: function RVA 0x1234
        0x6A, 0x01, 0, 0,  // 0x164: name RVA 0x16A
        0, 0,              // 0x168: ordinal index 0
        'H', 'i', 0,       // 0x16A
    };
    auto put = [&bytes](std::size_t at, const unsigned char* p, std::size_t n) {
        std::copy(p, p + n, bytes.begin() + static_cast<std::ptrdiff_t>(at));
    };
    put(0, dos, sizeof dos);
    put(0x3C, lfanew, sizeof lfanew);
    put(0x40, nt, sizeof nt);
    put(0xB8, exportEntry, sizeof exportEntry);
    put(0x138, directory, sizeof directory);
    put(0x160, tables, sizeof tables);
    EXPECT_EQ(testsupport::LoadRows(bytes), (Rows{"0001\tHi\t00001234\t00001234"}));
}

}  // namespace
