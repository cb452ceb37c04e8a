// PeBuilder: lays out headers, section table and export data of a tiny image.
#include "pe_builder.h"

#include <algorithm>

namespace testsupport {

void ByteWriter::Reach(std::size_t end) {
    if (bytes_.size() < end)
        bytes_.resize(end, 0);
}

void ByteWriter::Put8(std::size_t at, std::uint32_t value) {
    Reach(at + 1);
    bytes_[at] = static_cast<unsigned char>(value & 0xFF);
}

void ByteWriter::Put16(std::size_t at, std::uint32_t value) {
    Put8(at, value);
    Put8(at + 1, value >> 8);
}

void ByteWriter::Put32(std::size_t at, std::uint32_t value) {
    Put16(at, value & 0xFFFF);
    Put16(at + 2, value >> 16);
}

void ByteWriter::Put64(std::size_t at, std::uint64_t value) {
    Put32(at, static_cast<std::uint32_t>(value & 0xFFFFFFFFu));
    Put32(at + 4, static_cast<std::uint32_t>(value >> 32));
}

void ByteWriter::PutText(std::size_t at, const std::string& text, bool terminate) {
    for (std::size_t i = 0; i < text.size(); ++i)
        Put8(at + i, static_cast<unsigned char>(text[i]));
    if (terminate)
        Put8(at + text.size(), 0);
}

namespace {

std::uint32_t AlignUp(std::uint32_t value, std::uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

// The export section's contents, relative to its start, in the order the header comment gives.
struct ExportContents {
    std::uint32_t dllName = 40;
    std::vector<std::uint32_t> names;
    std::vector<std::uint32_t> forwarders;
    std::uint32_t functions = 0;
    std::uint32_t nameTable = 0;
    std::uint32_t ordinalTable = 0;
    std::uint32_t size = 0;
};

ExportContents PlanExports(const PeBuilder& b) {
    ExportContents c;
    std::uint32_t next = c.dllName + static_cast<std::uint32_t>(b.dllName.size()) + 1;
    for (const auto& n : b.names) {
        c.names.push_back(next);
        next += static_cast<std::uint32_t>(n.name.size()) + 1;
    }
    for (const auto& f : b.functions) {
        c.forwarders.push_back(next);
        if (!f.forwarder.empty())
            next += static_cast<std::uint32_t>(f.forwarder.size()) + 1;
    }
    next = AlignUp(next, 4);
    c.functions = next;
    next += 4 * static_cast<std::uint32_t>(b.functions.size());
    c.nameTable = next;
    next += 4 * static_cast<std::uint32_t>(b.names.size());
    c.ordinalTable = next;
    next += 2 * static_cast<std::uint32_t>(b.names.size());
    // Padded to 4 bytes as linkers do; objdump also wants the tables to end before the entry's Size.
    c.size = AlignUp(next, 4);
    return c;
}

}  // namespace

PeImage PeBuilder::Build() const {
    PeImage image;
    ByteWriter w(image.bytes);
    PeLayout& at = image.at;
    const bool hasExports = exportSection < sections.size();
    const ExportContents plan = PlanExports(*this);

    auto virtualSize = [&](std::size_t i) {
        const SectionSpec& s = sections[i];
        return s.virtualSize ? *s.virtualSize : (i == exportSection ? plan.size : s.sizeOfRawData);
    };

    // DOS header: only the two fields anything reads.
    w.Put16(off::e_magic, 0x5A4D);  // "MZ"
    w.Put32(off::e_lfanew, lfanew);

    // NT headers.
    at.nt = lfanew;
    const std::size_t opt = at.nt + 24;
    w.Put32(at.nt + off::Signature, 0x00004550);  // "PE\0\0"
    w.Put16(at.nt + off::Machine, pe32plus ? 0x8664 : 0x014C);
    w.Put16(at.nt + off::NumberOfSections, static_cast<std::uint32_t>(sections.size()));
    w.Put16(at.nt + off::SizeOfOptionalHeader, pe32plus ? 240 : 224);
    w.Put16(at.nt + 22, pe32plus ? 0x2022 : 0x2102);  // Characteristics: executable DLL
    w.Put16(opt, pe32plus ? 0x020B : 0x010B);
    std::uint32_t imageEnd = 0x1000;
    for (std::size_t i = 0; i < sections.size(); ++i)
        imageEnd = std::max(imageEnd, AlignUp(sections[i].virtualAddress + virtualSize(i), 0x1000));
    if (pe32plus)
        w.Put64(opt + 24, 0x180000000ull);  // ImageBase
    else
        w.Put32(opt + 28, 0x10000000);
    w.Put32(opt + 32, 0x1000);  // SectionAlignment
    w.Put32(opt + 36, 0x200);   // FileAlignment
    w.Put16(opt + 40, 4);       // MajorOperatingSystemVersion
    w.Put16(opt + 48, 4);       // MajorSubsystemVersion
    w.Put32(opt + 56, imageEnd);  // SizeOfImage
    w.Put32(opt + 60, 0x200);     // SizeOfHeaders
    w.Put16(opt + 68, 3);         // Subsystem: console
    const std::size_t directories = opt + (pe32plus ? 112 : 96);
    w.Put32(directories - 4, 16);  // NumberOfRvaAndSizes
    at.exportEntry = directories;

    // Section table, and a file long enough for every section's raw data.
    at.sectionTable = at.nt + (pe32plus ? 264 : 248);
    std::size_t fileEnd = 0x200;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const SectionSpec& s = sections[i];
        const std::size_t e = at.sectionTable + 40 * i;
        w.PutText(e, s.name.substr(0, 8), false);
        w.Put32(e + off::VirtualSize, virtualSize(i));
        w.Put32(e + off::VirtualAddress, s.virtualAddress);
        w.Put32(e + off::SizeOfRawData, s.sizeOfRawData);
        w.Put32(e + off::PointerToRawData, s.pointerToRawData);
        w.Put32(e + 36, i == exportSection ? 0x40000040u : 0x60000020u);  // Characteristics
        fileEnd = std::max<std::size_t>(fileEnd, std::size_t{s.pointerToRawData} + s.sizeOfRawData);
    }
    w.Put8(fileEnd - 1, 0);
    if (!hasExports)
        return image;

    // The export section's contents.
    const SectionSpec& s = sections[exportSection];
    const std::size_t file0 = s.pointerToRawData;
    const std::uint32_t rva0 = s.virtualAddress;
    w.Put32(at.exportEntry, rva0);
    w.Put32(at.exportEntry + 4, plan.size);

    at.exportDirectory = file0;
    at.exportDirectoryRva = rva0;
    const std::size_t d = at.exportDirectory;
    w.Put32(d + off::Name, rva0 + plan.dllName);
    w.Put32(d + off::Base, base);
    w.Put32(d + off::NumberOfFunctions, static_cast<std::uint32_t>(functions.size()));
    w.Put32(d + off::NumberOfNames, static_cast<std::uint32_t>(names.size()));
    w.Put32(d + off::AddressOfFunctions, rva0 + plan.functions);
    w.Put32(d + off::AddressOfNames, rva0 + plan.nameTable);
    w.Put32(d + off::AddressOfNameOrdinals, rva0 + plan.ordinalTable);
    w.PutText(file0 + plan.dllName, dllName);

    at.functions = file0 + plan.functions;
    at.names = file0 + plan.nameTable;
    at.ordinals = file0 + plan.ordinalTable;
    for (std::size_t i = 0; i < functions.size(); ++i) {
        std::uint32_t rva = functions[i].rva;
        if (!functions[i].forwarder.empty()) {
            rva = rva0 + plan.forwarders[i];
            w.PutText(file0 + plan.forwarders[i], functions[i].forwarder);
        }
        at.functionRva.push_back(rva);
        w.Put32(at.functions + 4 * i, rva);
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        at.nameText.push_back(file0 + plan.names[i]);
        at.nameTextRva.push_back(rva0 + plan.names[i]);
        w.PutText(at.nameText.back(), names[i].name);
        w.Put32(at.names + 4 * i, at.nameTextRva.back());
        w.Put16(at.ordinals + 2 * i, names[i].ordinalIndex);
    }
    return image;
}

}  // namespace testsupport
