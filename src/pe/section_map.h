// RVA to file position through the section table: SectionDelta, ToFileOffset and the indexed SectionMap.
#pragma once

#include <cstdint>
#include <vector>

#include "pe/image_headers.h"

namespace pe {

// VirtualAddress - PointerToRawData (wrapping modulo 2^32) of the section that holds `rva`, or 0 when
// none does. A section holds an RVA strictly when VirtualAddress <= rva < VirtualAddress + VirtualSize,
// the sum formed exactly. The first section in table order that holds it strictly wins; only when none
// does, the first section whose range ends exactly at `rva` (VirtualAddress + VirtualSize == rva, with
// VirtualSize >= 0) maps it. A section ending where the next one starts thus leaves that address to
// the next section, while an RVA just past the last byte of a section still maps with it.
std::int32_t SectionDelta(const std::vector<IMAGE_SECTION_HEADER>& sections, std::int32_t rva);

// rva - SectionDelta(rva), wrapping modulo 2^32; an RVA that no section holds maps to itself.
std::int32_t ToFileOffset(const std::vector<IMAGE_SECTION_HEADER>& sections, std::int32_t rva);

// The same mapping, answered in O(log n) per RVA from an index built once per section table. A hostile
// table of 32767 sections would otherwise cost a scan of every entry for every value an export walk maps.
class SectionMap {
public:
    explicit SectionMap(const std::vector<IMAGE_SECTION_HEADER>& sections);

    std::int32_t Delta(std::int32_t rva) const;
    std::int32_t ToFileOffset(std::int32_t rva) const;

private:
    // Boundaries of the strict ranges, sorted; segment j is [bounds_[j], bounds_[j + 1]) and is owned by
    // the first section in table order that covers it, or by none (-1).
    std::vector<std::int64_t> bounds_;
    std::vector<std::int32_t> owner_;
    // Range ends (VirtualAddress + VirtualSize), sorted, each with the first section that ends there.
    std::vector<std::int64_t> ends_;
    std::vector<std::int32_t> endOwner_;
    std::vector<std::int32_t> delta_;  // per section, VirtualAddress - PointerToRawData
};

}  // namespace pe
