// RVA to file position: the plain scan (SectionDelta, ToFileOffset) and the index (SectionMap), which
// must answer the same for every table and RVA.
#include <cinttypes>
#include <cstdio>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "pe/section_map.h"

namespace {

using Table = std::vector<pe::IMAGE_SECTION_HEADER>;

pe::IMAGE_SECTION_HEADER Sec(std::uint32_t va, std::uint32_t vs, std::uint32_t raw) {
    pe::IMAGE_SECTION_HEADER s{};
    s.VirtualAddress = static_cast<std::int32_t>(va);
    s.Misc.VirtualSize = static_cast<std::int32_t>(vs);
    s.PointerToRawData = static_cast<std::int32_t>(raw);
    s.SizeOfRawData = 0x10;  // never consulted
    return s;
}

std::int32_t I32(std::uint32_t v) { return static_cast<std::int32_t>(v); }

TEST(SectionMapping, Table) {
    // Two sections that touch: .a ends (VirtualAddress + VirtualSize) where .b starts.
    const auto a = Sec(0x1000, 0x1000, 0x400);   // delta 0xC00
    const auto b = Sec(0x2000, 0x200, 0x1800);   // delta 0x800
    const struct {
        const char* what;
        Table sections;
        std::uint32_t rva;
        std::uint32_t delta;
        std::uint32_t offset;
    } cases[] = {
        {"empty table", {}, 0x1234, 0, 0x1234},
        {"empty table, negative RVA", {}, 0x80000000, 0, 0x80000000},
        {"inside the headers, below every section", {a, b}, 0x200, 0, 0x200},
        {"first byte of a section", {a, b}, 0x1000, 0xC00, 0x400},
        {"last byte of a section", {a, b}, 0x21FF, 0x800, 0x19FF},
        {"closed end of the last section", {a, b}, 0x2200, 0x800, 0x1A00},
        {"one past the closed end", {a, b}, 0x2201, 0, 0x2201},
        {"touching sections: the start of the next one wins over the closed end", {a, b}, 0x2000, 0x800, 0x1800},
        {"touching sections in the other table order", {b, a}, 0x2000, 0x800, 0x1800},
        {"gap between sections", {Sec(0x1000, 0x100, 0x400), b}, 0x1800, 0, 0x1800},
        {"closed end next to a gap", {Sec(0x1000, 0x100, 0x400), b}, 0x1100, 0xC00, 0x500},
        {"overlap: the first in table order wins", {Sec(0x1000, 0x2000, 0x400), Sec(0x1800, 0x1000, 0x2000)},
         0x1900, 0xC00, 0xD00},
        {"overlap, other order", {Sec(0x1800, 0x1000, 0x2000), Sec(0x1000, 0x2000, 0x400)}, 0x1900,
         0xFFFFF800, 0x2100},
        {"a later section holding strictly wins over an earlier closed end",
         {Sec(0x1000, 0x800, 0x400), Sec(0x1000, 0x1000, 0x2000)}, 0x1800, 0xFFFFF000, 0x2800},
        {"two closed ends at one RVA: the first in table order",
         {Sec(0x1000, 0x800, 0x400), Sec(0x1400, 0x400, 0x3000)}, 0x1800, 0xC00, 0xC00},
        {"VirtualSize 0 holds its VirtualAddress", {Sec(0x3000, 0, 0x600)}, 0x3000, 0x2A00, 0x600},
        {"VirtualSize 0 holds nothing else", {Sec(0x3000, 0, 0x600)}, 0x3001, 0, 0x3001},
        {"VirtualSize 0 loses to a section holding strictly", {Sec(0x3000, 0, 0x600), Sec(0x2F00, 0x200, 0x100)},
         0x3000, 0x2E00, 0x200},
        {"negative VirtualSize holds nothing", {Sec(0x1000, 0x80000000, 0x400)}, 0x1000, 0, 0x1000},
        {"negative VirtualSize -1 holds nothing", {Sec(0x1000, 0xFFFFFFFF, 0x400)}, 0xFFF, 0, 0xFFF},
        {"zeroed entry holds RVA 0 with delta 0", {Sec(0, 0, 0), Sec(0, 0, 0)}, 0, 0, 0},
        {"zeroed entry's closed end loses to a section holding 0 strictly",
         {Sec(0, 0, 0), Sec(0, 0x1000, 0x400)}, 0, 0xFFFFFC00, 0x400},
        {"negative RVA lies below every section", {a, b}, 0x80001000, 0, 0x80001000},
        {"section at a negative VirtualAddress holds a negative RVA", {Sec(0x80000000, 0x100, 0x10)}, 0x80000010,
         0x7FFFFFF0, 0x20},
        {"end above 0x7FFFFFFF holds up to 0x7FFFFFFF", {Sec(0x7FFFF000, 0x2000, 0x400)}, 0x7FFFFFFF,
         0x7FFFEC00, 0x13FF},
        {"end above 0x7FFFFFFF does not wrap to the negative RVAs", {Sec(0x7FFFF000, 0x2000, 0x400)}, 0x80000000,
         0, 0x80000000},
        {"end above 0x7FFFFFFF is no closed end for the RVA its low 32 bits spell",
         {Sec(0x7FFFF000, 0x7FFFFFFF, 0x400)}, 0xFFFFEFFF, 0, 0xFFFFEFFF},
        {"delta wraps: VirtualAddress near the top, negative PointerToRawData",
         {Sec(0x7FFFF000, 0x100, 0x80000000)}, 0x7FFFF010, 0xFFFFF000, 0x80000010},
        {"offset wraps", {Sec(0x10, 0x100, 0x80000010)}, 0x20, 0x80000000, 0x80000020},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const pe::SectionMap map(c.sections);
        EXPECT_EQ(pe::SectionDelta(c.sections, I32(c.rva)), I32(c.delta));
        EXPECT_EQ(pe::ToFileOffset(c.sections, I32(c.rva)), I32(c.offset));
        EXPECT_EQ(map.Delta(I32(c.rva)), I32(c.delta));
        EXPECT_EQ(map.ToFileOffset(I32(c.rva)), I32(c.offset));
    }
}

// Values that sit on the edges the mapping compares against.
std::uint32_t EdgeValue(std::mt19937& rng) {
    static const std::uint32_t kEdges[] = {0,          1,          0xFFF,      0x1000,     0x1001,     0x2000,
                                           0x7FFFFFFE, 0x7FFFFFFF, 0x80000000, 0x80000001, 0xFFFFFFFF, 0xFFFFF000,
                                           0x7FFFF000, 0x10000};
    return kEdges[rng() % (sizeof kEdges / sizeof kEdges[0])];
}

// A value from one of a few distributions: edges, small ones that make sections overlap and touch,
// anything at all.
std::uint32_t RandomField(std::mt19937& rng, std::uint32_t smallRange) {
    switch (rng() % 4) {
    case 0: return EdgeValue(rng);
    case 1: return static_cast<std::uint32_t>(rng());
    default: return static_cast<std::uint32_t>(rng() % smallRange);
    }
}

Table RandomTable(std::mt19937& rng, std::size_t count, std::uint32_t smallRange) {
    Table t;
    for (std::size_t i = 0; i < count; ++i) {
        // Often make a section start exactly where the one before ends, or repeat one.
        if (!t.empty() && rng() % 4 == 0) {
            const auto& prev = t[rng() % t.size()];
            const auto prevEnd = static_cast<std::uint32_t>(prev.VirtualAddress) +
                                 static_cast<std::uint32_t>(prev.Misc.VirtualSize);
            t.push_back(rng() % 2 ? Sec(prevEnd, RandomField(rng, smallRange), RandomField(rng, smallRange))
                                  : prev);
            continue;
        }
        const std::uint32_t va = RandomField(rng, smallRange);
        std::uint32_t vs = RandomField(rng, smallRange);
        if (rng() % 8 == 0)
            vs = 0;
        t.push_back(Sec(va, vs, RandomField(rng, smallRange)));
    }
    return t;
}

// RVAs around every boundary the table has, plus random ones.
std::vector<std::uint32_t> Probes(std::mt19937& rng, const Table& t, std::size_t limit) {
    std::vector<std::uint32_t> rvas;
    for (const auto& s : t) {
        const auto va = static_cast<std::uint32_t>(s.VirtualAddress);
        const auto end = va + static_cast<std::uint32_t>(s.Misc.VirtualSize);
        for (const std::uint32_t base : {va, end})
            for (const std::uint32_t d : {0xFFFFFFFFu, 0u, 1u})
                rvas.push_back(base + d);
    }
    std::shuffle(rvas.begin(), rvas.end(), rng);
    if (rvas.size() > limit)
        rvas.resize(limit);
    for (int i = 0; i < 32; ++i)
        rvas.push_back(rng() % 2 ? EdgeValue(rng) : static_cast<std::uint32_t>(rng()));
    return rvas;
}

void ExpectSameMapping(const Table& t, const std::vector<std::uint32_t>& rvas) {
    const pe::SectionMap map(t);
    for (const std::uint32_t rva : rvas) {
        const std::int32_t expected = pe::SectionDelta(t, I32(rva));
        const std::int32_t got = map.Delta(I32(rva));
        if (got != expected) {
            ADD_FAILURE() << "rva 0x" << std::hex << rva << ": SectionMap 0x" << static_cast<std::uint32_t>(got)
                          << ", SectionDelta 0x" << static_cast<std::uint32_t>(expected) << " over "
                          << std::dec << t.size() << " sections";
            return;
        }
        ASSERT_EQ(map.ToFileOffset(I32(rva)), pe::ToFileOffset(t, I32(rva)));
    }
}

TEST(SectionMapping, IndexAgreesWithScanOnRandomSmallTables) {
    const unsigned seed = 20260101;
    std::mt19937 rng(seed);
    for (int round = 0; round < 20000; ++round) {
        const std::size_t count = rng() % 9;
        const std::uint32_t smallRange = round % 2 ? 0x40 : 0x10000;
        const Table t = RandomTable(rng, count, smallRange);
        SCOPED_TRACE("seed " + std::to_string(seed) + ", round " + std::to_string(round));
        ExpectSameMapping(t, Probes(rng, t, 200));
        if (HasFailure())
            return;
    }
}

TEST(SectionMapping, IndexAgreesWithScanOnLargestTables) {
    std::mt19937 rng(7);
    const std::size_t kMax = 32767;  // NumberOfSections is a signed 16-bit count
    struct Kind {
        const char* what;
        Table table;
    };
    std::vector<Kind> kinds;
    kinds.push_back({"random, dense overlaps", RandomTable(rng, kMax, 0x100000)});
    kinds.push_back({"random, any values", RandomTable(rng, kMax, 0xFFFFFFFF)});
    Table touching;
    std::uint32_t va = 0x1000;
    for (std::size_t i = 0; i < kMax; ++i) {
        const std::uint32_t vs = rng() % 3 == 0 ? 0 : static_cast<std::uint32_t>(rng() % 0x100);
        touching.push_back(Sec(va, vs, static_cast<std::uint32_t>(i) * 0x200));
        va += vs;
    }
    kinds.push_back({"sections that touch, some empty", touching});
    Table nested;
    for (std::size_t i = 0; i < kMax; ++i)
        nested.push_back(Sec(0x1000 + static_cast<std::uint32_t>(kMax - i), static_cast<std::uint32_t>(2 * i),
                             static_cast<std::uint32_t>(i)));
    kinds.push_back({"nested ranges, later ones wider", nested});
    kinds.push_back({"zeroed entries (a table cut short)", Table(kMax, Sec(0, 0, 0))});
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.what);
        ExpectSameMapping(k.table, Probes(rng, k.table, 1500));
    }
}

}  // namespace
