// ReadImageHeaders: signatures, where the NT headers and the section table are read, and which records
// a call overwrites.
#include <functional>
#include <iterator>

#include <gtest/gtest.h>

#include "memory_source.h"
#include "pe/image_file.h"
#include "pe/image_headers.h"
#include "pe_builder.h"

namespace {

using testsupport::PeBuilder;
using testsupport::PeImage;
namespace off = testsupport::off;

struct ReadResult {
    bool valid = false;
    pe::ImageHeaders headers;
    std::uint64_t position = 0;
};

ReadResult Read(const std::vector<unsigned char>& bytes) {
    testsupport::MemorySource source(bytes);
    pe::ImageFile file(source);
    ReadResult r;
    r.valid = pe::ReadImageHeaders(file, r.headers);
    r.position = file.Position();
    return r;
}

PeImage DefaultImage(bool pe32plus = false) {
    PeBuilder b;
    b.pe32plus = pe32plus;
    return b.Build();
}

TEST(ImageHeaders, SignaturesAndWhereTheSectionTableIsRead) {
    const struct {
        const char* what;
        std::function<PeImage()> image;
        bool valid;
        std::size_t sections;         // entries in the table after the call
        std::int32_t firstVa;         // VirtualAddress of the first entry, when there is one
        std::uint64_t position;       // where the last read left the file
    } cases[] = {
        {"default PE32 image", [] { return DefaultImage(); }, true, 2, 0x1000, 0x1C8},
        {"default PE32+ image: the table follows 264 bytes of NT headers", [] { return DefaultImage(true); },
         true, 2, 0x1000, 0x1D8},
        {"63 bytes", [] { auto i = DefaultImage(); i.CutAt(63); return i; }, false, 0, 0, 63},
        {"64 bytes starting with MZ: the NT read comes back empty",
         [] { auto i = DefaultImage(); i.CutAt(64); return i; }, false, 0, 0, 0x80},
        {"ZM instead of MZ", [] { auto i = DefaultImage(); i.Put16(off::e_magic, 0x4D5A); return i; }, false, 0, 0, 64},
        {"PE\\0 followed by 1", [] { auto i = DefaultImage(); i.bytes[0x80 + 3] = 1; return i; }, false, 0, 0, 0x178},
        {"PE followed by 1, 0", [] { auto i = DefaultImage(); i.bytes[0x80 + 2] = 1; return i; }, false, 0, 0, 0x178},
        {"NT headers cut one byte short", [] { auto i = DefaultImage(); i.CutAt(0x80 + 247); return i; },
         false, 0, 0, 0x80 + 247},
        {"e_lfanew past the end of the file",
         [] { auto i = DefaultImage(); i.Put32(off::e_lfanew, 0x10000); return i; }, false, 0, 0, 0x10000},
        {"negative e_lfanew: NT headers read at 64, section table at 312 (the sum is negative)",
         [] {
             PeBuilder b;
             b.lfanew = 0x40;
             auto i = b.Build();
             i.Put32(off::e_lfanew, 0x80000000u);
             return i;
         },
         true, 2, 0x1000, 312 + 80},
        {"e_lfanew -8: NT headers read at 64, section table at 240 (the sum wraps to 240)",
         [] {
             PeBuilder b;
             b.lfanew = 0x40;
             auto i = b.Build();
             i.Put32(off::e_lfanew, 0xFFFFFFF8u);
             i.Put32(240 + off::VirtualAddress, 0x12345678);
             return i;
         },
         true, 2, 0x12345678, 240 + 80},
        {"NumberOfSections 0", [] { auto i = DefaultImage(); i.Put16(0x80 + off::NumberOfSections, 0); return i; },
         true, 0, 0, 0x178},
        {"NumberOfSections 0x8000 (negative)",
         [] { auto i = DefaultImage(); i.Put16(0x80 + off::NumberOfSections, 0x8000); return i; }, true, 0, 0, 0x178},
        {"NumberOfSections 0xFFFF (negative)",
         [] { auto i = DefaultImage(); i.Put16(0x80 + off::NumberOfSections, 0xFFFF); return i; }, true, 0, 0, 0x178},
        {"NumberOfSections 0x7FFF over a short file: that many zeroed entries",
         [] { auto i = DefaultImage(); i.Put16(0x80 + off::NumberOfSections, 0x7FFF); return i; },
         true, 0x7FFF, 0, 0x600},
        {"section table cut short: every entry zero",
         [] { auto i = DefaultImage(); i.CutAt(0x178 + 40 + 39); return i; }, true, 2, 0, 0x178 + 79},
        {"section table ends exactly at the end of the file",
         [] { auto i = DefaultImage(); i.CutAt(0x178 + 80); return i; }, true, 2, 0x1000, 0x1C8},
        {"SizeOfOptionalHeader 240 in a PE32 image: ignored",
         [] { auto i = DefaultImage(); i.Put16(0x80 + off::SizeOfOptionalHeader, 240); return i; },
         true, 2, 0x1000, 0x1C8},
        {"Magic 0x0107 (ROM): read as PE32",
         [] { auto i = DefaultImage(); i.Put16(0x80 + off::Magic, 0x0107); return i; }, true, 2, 0x1000, 0x1C8},
        {"Magic 0x020B with 16 more bytes missing: not valid",
         [] { auto i = DefaultImage(true); i.CutAt(0x80 + 248 + 15); return i; }, false, 0, 0, 0x80 + 263},
        {"Magic 0x020B with exactly 264 bytes of NT headers: valid, table cut short",
         [] { auto i = DefaultImage(true); i.CutAt(0x80 + 264); return i; }, true, 2, 0, 0x80 + 264},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ReadResult r = Read(c.image().bytes);
        EXPECT_EQ(r.valid, c.valid);
        EXPECT_EQ(r.headers.Sections.size(), c.sections);
        if (!r.headers.Sections.empty()) {
            EXPECT_EQ(r.headers.Sections[0].VirtualAddress, c.firstVa);
        }
        EXPECT_EQ(r.position, c.position);
    }
}

TEST(ImageHeaders, FieldsAreSignedAndTakenFromTheRightLayout) {
    PeImage image = DefaultImage();
    const std::size_t table = image.at.sectionTable;
    image.Put32(table + 40 + off::VirtualSize, 0xFFFFFFF0u);
    image.Put32(table + 40 + off::PointerToRawData, 0x80000000u);
    image.Put16(0x80 + off::Machine, 0xFFFF);
    ReadResult r = Read(image.bytes);
    ASSERT_TRUE(r.valid);
    EXPECT_FALSE(r.headers.Pe32Plus);
    EXPECT_EQ(r.headers.NtHeaders.FileHeader.Machine, -1);
    EXPECT_EQ(r.headers.Sections[1].Misc.VirtualSize, -16);
    EXPECT_EQ(r.headers.Sections[1].PointerToRawData, INT32_MIN);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.headers.Sections[1].Name), 6), ".edata");
    EXPECT_EQ(pe::ExportDirectoryEntry(r.headers).VirtualAddress, 0x2000);
    EXPECT_EQ(pe::ExportDirectoryEntry(r.headers).Size, 0x64);

    // PE32+: the export entry comes from the 64-bit optional header, not from where PE32 has it
    // (SizeOfHeapCommit there).
    PeImage wide = DefaultImage(true);
    wide.Put32(0x80 + off::ExportEntry32, 0x9000);
    wide.Put32(0x80 + off::ExportEntry32 + 4, 0x7777);
    r = Read(wide.bytes);
    ASSERT_TRUE(r.valid);
    EXPECT_TRUE(r.headers.Pe32Plus);
    EXPECT_EQ(pe::ExportDirectoryEntry(r.headers).VirtualAddress, 0x2000);
    EXPECT_EQ(pe::ExportDirectoryEntry(r.headers).Size, 0x64);
    EXPECT_EQ(r.headers.NtHeaders64.OptionalHeader.ImageBase, 0x180000000ll);
}

// A call overwrites a record only once its read came back complete, and the section table only after
// both signatures matched. The marks stand for an earlier file's records.
TEST(ImageHeaders, RecordsAreOverwrittenOnlyAfterACompleteRead) {
    const struct {
        const char* what;
        std::function<PeImage()> image;
        bool dosReplaced, ntReplaced, sectionsReplaced;
    } cases[] = {
        {"63 bytes", [] { auto i = DefaultImage(); i.CutAt(63); return i; }, false, false, false},
        {"64 bytes starting with MZ", [] { auto i = DefaultImage(); i.CutAt(64); return i; }, true, false, false},
        {"ZM", [] { auto i = DefaultImage(); i.Put16(off::e_magic, 0x4D5A); return i; }, true, false, false},
        {"NT headers cut short", [] { auto i = DefaultImage(); i.CutAt(0x80 + 200); return i; }, true, false, false},
        {"PE signature wrong", [] { auto i = DefaultImage(); i.bytes[0x81] = 'F'; return i; }, true, true, false},
        {"PE32+ without its 16 more bytes", [] { auto i = DefaultImage(true); i.CutAt(0x80 + 250); return i; },
         true, true, false},
        {"valid image", [] { return DefaultImage(); }, true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<unsigned char> bytes = c.image().bytes;
        testsupport::MemorySource source(bytes);
        pe::ImageFile file(source);
        pe::ImageHeaders h;
        h.DosHeader.e_lfanew = 0x5555;
        h.NtHeaders.Signature = 0x7777;
        h.Sections.resize(5);
        h.Sections[0].VirtualAddress = 0x9999;
        pe::ReadImageHeaders(file, h);
        EXPECT_EQ(h.DosHeader.e_lfanew != 0x5555, c.dosReplaced);
        EXPECT_EQ(h.NtHeaders.Signature != 0x7777, c.ntReplaced);
        EXPECT_EQ(h.Sections.size() != 5, c.sectionsReplaced);
    }
}

TEST(ImageHeaders, ThreeSectionsAfterFive) {
    PeBuilder five;
    five.exportSection = 99;
    for (std::uint32_t i = 0; i < 5; ++i)
        five.sections.push_back({".s", 0x10000 * (i + 1), 0x100u, 0x200, 0x200});
    PeBuilder three;
    three.exportSection = 99;
    three.sections = {{".a", 0x5000, 0x10u, 0x200, 0x200}, {".b", 0x6000, 0x10u, 0x200, 0x400},
                      {".c", 0x7000, 0x10u, 0x200, 0x600}};

    pe::ImageHeaders h;
    for (const PeBuilder* b : {&five, &three}) {
        const auto bytes = b->Build().bytes;
        testsupport::MemorySource source(bytes);
        pe::ImageFile file(source);
        ASSERT_TRUE(pe::ReadImageHeaders(file, h));
    }
    ASSERT_EQ(h.Sections.size(), 3u);
    EXPECT_EQ(h.Sections[0].VirtualAddress, 0x5000);
    EXPECT_EQ(h.Sections[2].VirtualAddress, 0x7000);
    EXPECT_EQ(h.Sections[2].PointerToRawData, 0x600);
}

// A hand-written start of a PE32 image, as a fixed point for the builder: DOS header, then the first
// 24 bytes of NT headers and the first section entry.
TEST(ImageHeaders, BuilderMatchesHandWrittenBytes) {
    const unsigned char dos[64] = {
        'M', 'Z', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,      //
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,      //
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0,   // e_lfanew 0x80
    };
    const unsigned char nt[24] = {
        'P', 'E', 0, 0, 0x4C, 0x01, 0x02, 0x00,  // Machine i386, two sections
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,      // TimeDateStamp, symbols
        0xE0, 0x00, 0x02, 0x21,                  // SizeOfOptionalHeader 224, DLL
    };
    const unsigned char text[40] = {
        '.', 't', 'e', 'x', 't', 0, 0, 0,  //
        0x00, 0x01, 0, 0,                  // VirtualSize 0x100
        0x00, 0x10, 0, 0,                  // VirtualAddress 0x1000
        0x00, 0x02, 0, 0,                  // SizeOfRawData 0x200
        0x00, 0x02, 0, 0,                  // PointerToRawData 0x200
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0x20, 0, 0, 0x60,                  // code, execute, read
    };
    const PeImage image = DefaultImage();
    EXPECT_EQ(std::vector<unsigned char>(image.bytes.begin(), image.bytes.begin() + 64),
              std::vector<unsigned char>(std::begin(dos), std::end(dos)));
    EXPECT_EQ(std::vector<unsigned char>(image.bytes.begin() + 0x80, image.bytes.begin() + 0x80 + 24),
              std::vector<unsigned char>(std::begin(nt), std::end(nt)));
    EXPECT_EQ(std::vector<unsigned char>(image.bytes.begin() + 0x178, image.bytes.begin() + 0x178 + 40),
              std::vector<unsigned char>(std::begin(text), std::end(text)));
}

}  // namespace
