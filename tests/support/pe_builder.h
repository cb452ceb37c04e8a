// PeBuilder: tiny PE images for tests, written byte by byte with a writer of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// Little-endian writer over a growing byte vector. Deliberately independent of the reader's decoding
// helpers, so that a bug shared by writer and reader cannot cancel out.
class ByteWriter {
public:
    explicit ByteWriter(std::vector<unsigned char>& bytes) : bytes_(bytes) {}

    void Put8(std::size_t at, std::uint32_t value);
    void Put16(std::size_t at, std::uint32_t value);
    void Put32(std::size_t at, std::uint32_t value);
    void Put64(std::size_t at, std::uint64_t value);
    void PutText(std::size_t at, const std::string& text, bool terminate = true);

private:
    void Reach(std::size_t end);
    std::vector<unsigned char>& bytes_;
};

// Offsets of the fields the tests touch, counted from the start of their record.
namespace off {
constexpr std::size_t e_magic = 0x00;
constexpr std::size_t e_lfanew = 0x3C;
constexpr std::size_t Signature = 0;
constexpr std::size_t Machine = 4;
constexpr std::size_t NumberOfSections = 6;
constexpr std::size_t SizeOfOptionalHeader = 20;
constexpr std::size_t Magic = 24;
constexpr std::size_t ExportEntry32 = 24 + 96;   // DataDirectory[0] of IMAGE_OPTIONAL_HEADER32
constexpr std::size_t ExportEntry64 = 24 + 112;  // DataDirectory[0] of IMAGE_OPTIONAL_HEADER64
constexpr std::size_t SizeOfHeapCommit32 = 24 + 84;
constexpr std::size_t SizeOfHeapCommit64 = 24 + 96;
// IMAGE_SECTION_HEADER
constexpr std::size_t VirtualSize = 8;
constexpr std::size_t VirtualAddress = 12;
constexpr std::size_t SizeOfRawData = 16;
constexpr std::size_t PointerToRawData = 20;
// IMAGE_EXPORT_DIRECTORY
constexpr std::size_t Name = 12;
constexpr std::size_t Base = 16;
constexpr std::size_t NumberOfFunctions = 20;
constexpr std::size_t NumberOfNames = 24;
constexpr std::size_t AddressOfFunctions = 28;
constexpr std::size_t AddressOfNames = 32;
constexpr std::size_t AddressOfNameOrdinals = 36;
}  // namespace off

struct SectionSpec {
    std::string name;
    std::uint32_t virtualAddress = 0;
    std::optional<std::uint32_t> virtualSize;  // unset: the export section's contents, exactly
    std::uint32_t sizeOfRawData = 0x200;
    std::uint32_t pointerToRawData = 0;
};

// A function of the export address table: an RVA, or a forwarder text placed in the export section.
struct FunctionSpec {
    std::uint32_t rva = 0;
    std::string forwarder;
};

// One entry of the name pointer table, with its ordinal table entry.
struct NameSpec {
    std::string name;
    std::uint16_t ordinalIndex = 0;
};

// Where Build put things. File positions unless named Rva.
struct PeLayout {
    std::size_t nt = 0;            // NT headers (e_lfanew)
    std::size_t sectionTable = 0;  // e_lfanew + 248, or + 264 for PE32+
    std::size_t exportEntry = 0;   // DataDirectory[0] within the file
    std::size_t exportDirectory = 0;
    std::uint32_t exportDirectoryRva = 0;
    std::size_t functions = 0;     // export address table
    std::size_t names = 0;         // name pointer table
    std::size_t ordinals = 0;      // ordinal table
    std::vector<std::size_t> nameText;       // each name's first byte, in table order
    std::vector<std::uint32_t> nameTextRva;
    std::vector<std::uint32_t> functionRva;  // as written to the export address table
};

// The bytes of an image plus where its parts lie; tests change one thing and write it out.
struct PeImage {
    std::vector<unsigned char> bytes;
    PeLayout at;

    void Put16(std::size_t pos, std::uint32_t value) { ByteWriter(bytes).Put16(pos, value); }
    void Put32(std::size_t pos, std::uint32_t value) { ByteWriter(bytes).Put32(pos, value); }
    void PutText(std::size_t pos, const std::string& text, bool terminate = true) {
        ByteWriter(bytes).PutText(pos, text, terminate);
    }
    void CutAt(std::size_t size) { bytes.resize(size); }
};

// Defaults give a minimal valid PE32 DLL:
//   DOS header with e_lfanew 0x80; NT headers at 0x80; SizeOfHeaders 0x200;
//   .text  VA 0x1000, VirtualSize 0x100, raw 0x200 at 0x200 (delta 0xE00);
//   .edata VA 0x2000, VirtualSize = its contents, raw 0x200 at 0x400 (delta 0x1C00), holding in this
//   order: the export directory, the DLL name, the names, the forwarder texts, the export address
//   table, the name pointer table and the ordinal table.
// Three functions 0x1010, 0x1020, 0x1030 and three names: Alpha -> 0, Beta -> 2, Gamma -> 1, so the
// rows are 0001 Alpha 00001010 00000210, 0003 Beta 00001030 00000230, 0002 Gamma 00001020 00000220.
struct PeBuilder {
    bool pe32plus = false;
    std::uint32_t lfanew = 0x80;
    std::vector<SectionSpec> sections = {
        {".text", 0x1000, 0x100u, 0x200, 0x200},
        {".edata", 0x2000, std::nullopt, 0x200, 0x400},
    };
    std::size_t exportSection = 1;  // index into sections; past the end: no export data at all
    std::string dllName = "sample.dll";
    std::uint32_t base = 1;
    std::vector<FunctionSpec> functions = {{0x1010, {}}, {0x1020, {}}, {0x1030, {}}};
    std::vector<NameSpec> names = {{"Alpha", 0}, {"Beta", 2}, {"Gamma", 1}};

    PeImage Build() const;
};

}  // namespace testsupport
