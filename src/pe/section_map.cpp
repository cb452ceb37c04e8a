// The section address mapping, once as a plain scan of the table and once as an index over it.
#include "pe/section_map.h"

#include <algorithm>
#include <numeric>

namespace pe {
namespace {

// The difference of two image fields as a position delta, wrapping modulo 2^32.
std::int32_t WrappedDifference(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

// One past a section's last byte. Formed in 64 bits so it never wraps: an end above 0x7FFFFFFF simply
// lies above every RVA, and a negative VirtualSize gives an end below the start, holding nothing.
std::int64_t RangeEnd(const IMAGE_SECTION_HEADER& s) {
    return std::int64_t{s.VirtualAddress} + s.Misc.VirtualSize;
}

std::int32_t Delta(const IMAGE_SECTION_HEADER& s) {
    return WrappedDifference(s.VirtualAddress, s.PointerToRawData);
}

}  // namespace

std::int32_t SectionDelta(const std::vector<IMAGE_SECTION_HEADER>& sections, std::int32_t rva) {
    for (const auto& s : sections) {
        if (s.VirtualAddress <= rva && rva < RangeEnd(s))
            return Delta(s);
    }
    // Tools write a VirtualSize that stops exactly at the last byte they used; an RVA one past it (an
    // export directory placed right behind the data, say) still belongs to that section.
    for (const auto& s : sections) {
        if (s.Misc.VirtualSize >= 0 && rva == RangeEnd(s))
            return Delta(s);
    }
    return 0;
}

std::int32_t ToFileOffset(const std::vector<IMAGE_SECTION_HEADER>& sections, std::int32_t rva) {
    return WrappedDifference(rva, SectionDelta(sections, rva));
}

SectionMap::SectionMap(const std::vector<IMAGE_SECTION_HEADER>& sections) {
    const auto count = static_cast<std::int32_t>(sections.size());
    delta_.reserve(sections.size());
    for (const auto& s : sections) {
        delta_.push_back(pe::Delta(s));
        if (s.Misc.VirtualSize > 0) {
            bounds_.push_back(s.VirtualAddress);
            bounds_.push_back(RangeEnd(s));
        }
    }
    std::sort(bounds_.begin(), bounds_.end());
    bounds_.erase(std::unique(bounds_.begin(), bounds_.end()), bounds_.end());
    owner_.assign(bounds_.empty() ? 0 : bounds_.size() - 1, -1);

    // Paint the segments section by section in table order; each segment keeps the first section that
    // covers it. nextFree[j] leads to the first unpainted segment at or after j (path-halving), so
    // every segment is painted once and the build stays near-linear after the sort.
    std::vector<std::size_t> nextFree(owner_.size() + 1);
    std::iota(nextFree.begin(), nextFree.end(), std::size_t{0});
    auto findFree = [&nextFree](std::size_t j) {
        while (nextFree[j] != j) {
            nextFree[j] = nextFree[nextFree[j]];
            j = nextFree[j];
        }
        return j;
    };
    for (std::int32_t i = 0; i < count; ++i) {
        const auto& s = sections[static_cast<std::size_t>(i)];
        if (s.Misc.VirtualSize <= 0)
            continue;
        const auto first = static_cast<std::size_t>(
            std::lower_bound(bounds_.begin(), bounds_.end(), std::int64_t{s.VirtualAddress}) - bounds_.begin());
        const auto last = static_cast<std::size_t>(
            std::lower_bound(bounds_.begin(), bounds_.end(), RangeEnd(s)) - bounds_.begin());
        for (std::size_t j = findFree(first); j < last; j = findFree(j)) {
            owner_[j] = i;
            nextFree[j] = j + 1;
        }
    }

    // Range ends, for RVAs that no section holds strictly; the first section in table order wins.
    std::vector<std::int32_t> order;
    for (std::int32_t i = 0; i < count; ++i) {
        if (sections[static_cast<std::size_t>(i)].Misc.VirtualSize >= 0)
            order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&sections](std::int32_t a, std::int32_t b) {
        return RangeEnd(sections[static_cast<std::size_t>(a)]) < RangeEnd(sections[static_cast<std::size_t>(b)]);
    });
    for (const std::int32_t i : order) {
        const std::int64_t end = RangeEnd(sections[static_cast<std::size_t>(i)]);
        if (ends_.empty() || ends_.back() != end) {
            ends_.push_back(end);
            endOwner_.push_back(i);
        }
    }
}

std::int32_t SectionMap::Delta(std::int32_t rva) const {
    const auto above = std::upper_bound(bounds_.begin(), bounds_.end(), std::int64_t{rva});
    if (above != bounds_.begin() && above != bounds_.end()) {
        const std::int32_t owner = owner_[static_cast<std::size_t>(above - bounds_.begin() - 1)];
        if (owner >= 0)
            return delta_[static_cast<std::size_t>(owner)];
    }
    const auto end = std::lower_bound(ends_.begin(), ends_.end(), std::int64_t{rva});
    if (end != ends_.end() && *end == rva)
        return delta_[static_cast<std::size_t>(endOwner_[static_cast<std::size_t>(end - ends_.begin())])];
    return 0;
}

std::int32_t SectionMap::ToFileOffset(std::int32_t rva) const {
    return WrappedDifference(rva, Delta(rva));
}

}  // namespace pe
