// CraftImage: lays out small PE images with an export directory, for fuzz seeds and hostile benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace crafted {

// Little-endian stores of its own, so that an image never depends on the reader's decoding.
class Bytes {
public:
    std::vector<unsigned char> data;

    void Put8(std::size_t at, std::uint8_t v) {
        if (data.size() < at + 1)
            data.resize(at + 1);
        data[at] = v;
    }
    void Put16(std::size_t at, std::uint16_t v) {
        Put8(at, static_cast<std::uint8_t>(v));
        Put8(at + 1, static_cast<std::uint8_t>(v >> 8));
    }
    void Put32(std::size_t at, std::uint32_t v) {
        Put16(at, static_cast<std::uint16_t>(v));
        Put16(at + 2, static_cast<std::uint16_t>(v >> 16));
    }
    void PutText(std::size_t at, const std::string& text, bool terminated) {
        for (std::size_t i = 0; i < text.size(); ++i)
            Put8(at + i, static_cast<std::uint8_t>(text[i]));
        if (terminated)
            Put8(at + text.size(), 0);
    }
};

struct Section {
    std::uint32_t VirtualAddress = 0;
    std::uint32_t VirtualSize = 0;
    std::uint32_t PointerToRawData = 0;
};

struct Plan {
    bool pe32Plus = false;
    // The texts the export data holds, stored in this order after the tables.
    std::vector<std::string> strings;
    // Per entry of the name pointer table, the index of the text it points at; empty: one per text.
    std::vector<std::uint32_t> nameRefs;
    // Per name, its ordinal index; empty: name i takes index i.
    std::vector<std::uint16_t> ordinals;
    // The export address table; empty: one function per name at 0x2000 + 0x10 * k.
    std::vector<std::uint32_t> functions;
    // The last text runs to the end of the file without a zero byte.
    bool lastStringUnterminated = false;
    // Sections placed in the table before and after the one that holds the export data.
    std::vector<Section> sectionsBefore, sectionsAfter;
    // No section holds the export data: it lies in the file at its RVA, right after the headers.
    bool exportsInNoSection = false;
};

// Where the parts of a crafted image lie in the file, for tweaking and cutting.
struct Image {
    Bytes bytes;
    std::uint32_t ntHeaders = 0;     // e_lfanew
    std::uint32_t sectionTable = 0;
    std::uint32_t exportEntry = 0;   // the export DataDirectory entry
    std::uint32_t exportDir = 0;     // the 40-byte directory
    std::uint32_t functions = 0, names = 0, ordinals = 0, strings = 0;

    // Export directory fields by their offset in the directory.
    void SetNumberOfNames(std::uint32_t v) { bytes.Put32(exportDir + 24, v); }
    void SetNumberOfSections(std::uint16_t v) { bytes.Put16(ntHeaders + 6, v); }
};

inline std::uint32_t AlignUp(std::uint64_t v, std::uint32_t a) {
    return static_cast<std::uint32_t>((v + a - 1) / a * a);
}

inline Image CraftImage(const Plan& plan) {
    Image img;
    Bytes& b = img.bytes;
    const std::uint32_t optSize = plan.pe32Plus ? 240 : 224;
    const std::uint32_t sectionCount = static_cast<std::uint32_t>(plan.sectionsBefore.size() + plan.sectionsAfter.size()) +
                                       (plan.exportsInNoSection ? 0 : 1);
    img.ntHeaders = 0x40;
    img.sectionTable = img.ntHeaders + 24 + optSize;
    const std::uint32_t headersEnd = AlignUp(img.sectionTable + 40ull * sectionCount, 0x200);

    const auto nameCount = static_cast<std::uint32_t>(plan.nameRefs.empty() ? plan.strings.size() : plan.nameRefs.size());
    std::vector<std::uint32_t> functions = plan.functions;
    if (functions.empty())
        for (std::uint32_t k = 0; k < nameCount; ++k)
            functions.push_back(0x2000 + 0x10 * k);

    // The export data: directory, address table, name pointers, ordinals, then the texts.
    const std::uint32_t exportRva = plan.exportsInNoSection ? headersEnd : 0x1000;
    const std::uint32_t fileBase = headersEnd;  // where exportRva lies in the file
    const std::uint32_t functionsRva = exportRva + 40;
    const std::uint32_t namesRva = functionsRva + 4 * static_cast<std::uint32_t>(functions.size());
    const std::uint32_t ordinalsRva = namesRva + 4 * nameCount;
    const std::uint32_t dllNameRva = AlignUp(ordinalsRva + 2ull * nameCount, 4);
    const std::string dllName = "crafted.dll";
    std::uint32_t at = dllNameRva + static_cast<std::uint32_t>(dllName.size()) + 1;
    std::vector<std::uint32_t> stringRvas;
    for (const auto& s : plan.strings) {
        stringRvas.push_back(at);
        at += static_cast<std::uint32_t>(s.size()) + 1;
    }
    const std::uint32_t exportSize = at - exportRva;
    auto file = [&](std::uint32_t rva) { return rva - exportRva + fileBase; };

    // DOS header.
    b.PutText(0, "MZ", false);
    b.Put32(0x3C, img.ntHeaders);
    // NT headers.
    const std::uint32_t nt = img.ntHeaders;
    b.PutText(nt, "PE", true);
    b.Put8(nt + 3, 0);
    b.Put16(nt + 4, plan.pe32Plus ? 0x8664 : 0x014C);
    b.Put16(nt + 6, static_cast<std::uint16_t>(sectionCount));
    b.Put16(nt + 20, static_cast<std::uint16_t>(optSize));
    b.Put16(nt + 22, 0x2102);
    const std::uint32_t opt = nt + 24;
    b.Put16(opt, plan.pe32Plus ? 0x020B : 0x010B);
    b.Put32(opt + 32, 0x1000);  // SectionAlignment
    b.Put32(opt + 36, 0x200);   // FileAlignment
    b.Put32(opt + 56, AlignUp(std::uint64_t{at} + 0x1000, 0x1000));  // SizeOfImage
    b.Put32(opt + 60, headersEnd);                                  // SizeOfHeaders
    const std::uint32_t dirs = opt + (plan.pe32Plus ? 112 : 96);
    b.Put32(dirs - 4, 16);  // NumberOfRvaAndSizes
    img.exportEntry = dirs;
    b.Put32(dirs, exportRva);
    b.Put32(dirs + 4, exportSize);

    // Section table.
    std::uint32_t entry = img.sectionTable;
    auto putSection = [&](const char* name, const Section& s) {
        b.PutText(entry, name, false);
        b.Put32(entry + 8, s.VirtualSize);
        b.Put32(entry + 12, s.VirtualAddress);
        b.Put32(entry + 16, AlignUp(s.VirtualSize, 0x200));
        b.Put32(entry + 20, s.PointerToRawData);
        b.Put32(entry + 36, 0x40000040);
        entry += 40;
    };
    for (const auto& s : plan.sectionsBefore)
        putSection(".data", s);
    if (!plan.exportsInNoSection)
        putSection(".edata", Section{exportRva, exportSize, fileBase});
    for (const auto& s : plan.sectionsAfter)
        putSection(".bss", s);

    // Export directory and tables.
    img.exportDir = file(exportRva);
    img.functions = file(functionsRva);
    img.names = file(namesRva);
    img.ordinals = file(ordinalsRva);
    img.strings = file(dllNameRva);
    const std::uint32_t d = img.exportDir;
    b.Put32(d + 12, dllNameRva);
    b.Put32(d + 16, 1);  // Base
    b.Put32(d + 20, static_cast<std::uint32_t>(functions.size()));
    b.Put32(d + 24, nameCount);
    b.Put32(d + 28, functionsRva);
    b.Put32(d + 32, namesRva);
    b.Put32(d + 36, ordinalsRva);
    for (std::uint32_t k = 0; k < functions.size(); ++k)
        b.Put32(img.functions + 4 * k, functions[k]);
    for (std::uint32_t i = 0; i < nameCount; ++i) {
        const std::uint32_t ref = plan.nameRefs.empty() ? i : plan.nameRefs[i];
        b.Put32(img.names + 4 * i, ref < stringRvas.size() ? stringRvas[ref] : dllNameRva);
        b.Put16(img.ordinals + 2 * i, plan.ordinals.empty() ? static_cast<std::uint16_t>(i) : plan.ordinals[i]);
    }
    b.PutText(img.strings, dllName, true);
    for (std::size_t j = 0; j < plan.strings.size(); ++j) {
        const bool last = j + 1 == plan.strings.size();
        b.PutText(file(stringRvas[j]), plan.strings[j], !(last && plan.lastStringUnterminated));
    }
    if (!plan.lastStringUnterminated)
        b.data.resize(AlignUp(b.data.size(), 0x200));
    return img;
}

}  // namespace crafted
