// fuzz_load: libFuzzer target over the whole load of an in-memory image, checking what every row must satisfy.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pe/export_list.h"
#include "pe/image_file.h"
#include "pe/image_headers.h"
#include "pe/le_read.h"
#include "pe/section_map.h"
#include "support/memory_source.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_load: invariant broken: %s\n", what);
        std::abort();
    }
}

bool IsHexDigits(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

std::uint32_t ParseHex(const std::string& text) {
    std::uint32_t v = 0;
    for (const char c : text)
        v = v << 4 | static_cast<std::uint32_t>(c <= '9' ? c - '0' : c - 'A' + 10);
    return v;
}

// Checks each row as it comes and keeps none of them.
class CheckingSink final : public pe::ExportRowSink {
public:
    explicit CheckingSink(const std::vector<pe::IMAGE_SECTION_HEADER>& sections) : sections_(sections) {}

    void Clear() override {
        rows_ = 0;
        nameBytes_ = 0;
    }

    void Append(const pe::ExportRow& row) override {
        ++rows_;
        Check(rows_ <= pe::kMaxExportRows, "more rows than kMaxExportRows");
        Check(row.FunctionName.size() <= pe::kMaxNameBytes, "a name longer than kMaxNameBytes");
        Check(std::memchr(row.FunctionName.data(), 0, row.FunctionName.size()) == nullptr, "a zero byte in a name");
        nameBytes_ += row.FunctionName.size();
        Check(nameBytes_ <= pe::kMaxNameBytesPerLoad, "more name bytes than kMaxNameBytesPerLoad");

        // k + 1 for a 16-bit k: 0001 to FFFF, or 10000.
        Check((row.IndexText.size() == 4 && IsHexDigits(row.IndexText) && row.IndexText != "0000") ||
                  row.IndexText == "10000",
              "IndexText is not k + 1 in 4 or 5 hex digits");
        Check(row.RvaText.size() == 8 && IsHexDigits(row.RvaText), "RvaText is not 8 hex digits");
        Check(row.OffsetText.size() == 8 && IsHexDigits(row.OffsetText), "OffsetText is not 8 hex digits");

        // The walk maps through the index; the first rows are checked against the plain scan, whose
        // cost grows with the section count.
        if (rows_ <= 16) {
            const auto rva = static_cast<std::int32_t>(ParseHex(row.RvaText));
            const auto offset = static_cast<std::uint32_t>(pe::ToFileOffset(sections_, rva));
            Check(ParseHex(row.OffsetText) == offset, "OffsetText differs from ToFileOffset of the RVA");
        }
    }

private:
    const std::vector<pe::IMAGE_SECTION_HEADER>& sections_;
    std::int32_t rows_ = 0;
    std::size_t nameBytes_ = 0;
};

// The indexed mapping must answer exactly as the plain scan, at the edges of a few sections and at RVAs
// taken from the input itself.
void CheckSectionMap(const std::vector<pe::IMAGE_SECTION_HEADER>& sections, const std::uint8_t* data, std::size_t size) {
    const pe::SectionMap map(sections);
    std::vector<std::int32_t> rvas = {0, -1, 1, INT32_MIN, INT32_MAX};
    auto around = [&rvas](std::int64_t at) {
        for (std::int64_t d = -1; d <= 1; ++d)
            rvas.push_back(static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(at + d))));
    };
    const std::size_t edges = std::min<std::size_t>(sections.size(), 8);
    for (std::size_t i = 0; i < edges; ++i) {
        const auto& s = sections[sections.size() - 1 - i];  // the last ones: ties are settled by table order
        const auto& t = sections[i];
        for (const auto* e : {&s, &t}) {
            around(e->VirtualAddress);
            around(std::int64_t{e->VirtualAddress} + e->Misc.VirtualSize);
        }
    }
    for (std::size_t at = 0; at + 4 <= size && at < 64; at += 4)
        rvas.push_back(static_cast<std::int32_t>(pe::LoadLe32(data + at)));

    for (const std::int32_t rva : rvas) {
        Check(map.Delta(rva) == pe::SectionDelta(sections, rva), "SectionMap::Delta differs from SectionDelta");
        Check(map.ToFileOffset(rva) == pe::ToFileOffset(sections, rva), "SectionMap::ToFileOffset differs");
    }
}

// Up to 16 section entries taken straight from the input bytes, so the mapping is fuzzed without headers.
std::vector<pe::IMAGE_SECTION_HEADER> SectionsFromBytes(const std::uint8_t* data, std::size_t size) {
    std::vector<pe::IMAGE_SECTION_HEADER> sections;
    for (std::size_t at = 0; at + 12 <= size && sections.size() < 16; at += 12) {
        pe::IMAGE_SECTION_HEADER s{};
        s.VirtualAddress = static_cast<std::int32_t>(pe::LoadLe32(data + at));
        s.Misc.VirtualSize = static_cast<std::int32_t>(pe::LoadLe32(data + at + 4));
        s.PointerToRawData = static_cast<std::int32_t>(pe::LoadLe32(data + at + 8));
        sections.push_back(s);
    }
    return sections;
}

}  // namespace

// Each load takes up to 512 KiB of fresh cache blocks; with the default 256 MiB quarantine of freed
// memory every run faults in new pages and the fuzzer slows tenfold. 32 MiB still holds the blocks of
// dozens of earlier runs.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=32"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    testsupport::MemorySource source(data, size);
    pe::ImageFile file(source);
    pe::ImageHeaders headers;
    if (pe::ReadImageHeaders(file, headers)) {
        CheckingSink sink(headers.Sections);
        pe::ListExports(file, headers, sink);
        CheckSectionMap(headers.Sections, data, size);
    } else {
        CheckSectionMap(SectionsFromBytes(data, size), data, size);
    }
    return 0;
}
