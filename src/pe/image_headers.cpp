// ReadImageHeaders: three reads (DOS header, NT headers, section table) and two signature checks.
#include "pe/image_headers.h"

#include <memory>
#include <type_traits>

#include "pe/le_read.h"

namespace pe {
namespace {

IMAGE_DOS_HEADER DecodeDosHeader(const unsigned char* bytes) {
    FieldCursor c(bytes);
    IMAGE_DOS_HEADER h;
    h.e_magic = c.I16();
    h.e_cblp = c.I16();
    h.e_cp = c.I16();
    h.e_crlc = c.I16();
    h.e_cparhdr = c.I16();
    h.e_minalloc = c.I16();
    h.e_maxalloc = c.I16();
    h.e_ss = c.I16();
    h.e_sp = c.I16();
    h.e_csum = c.I16();
    h.e_ip = c.I16();
    h.e_cs = c.I16();
    h.e_lfarlc = c.I16();
    h.e_ovno = c.I16();
    for (auto& w : h.e_res)
        w = c.I16();
    h.e_oemid = c.I16();
    h.e_oeminfo = c.I16();
    for (auto& w : h.e_res2)
        w = c.I16();
    h.e_lfanew = c.I32();
    return h;
}

IMAGE_FILE_HEADER DecodeFileHeader(FieldCursor& c) {
    IMAGE_FILE_HEADER h;
    h.Machine = c.I16();
    h.NumberOfSections = c.I16();
    h.TimeDateStamp = c.I32();
    h.PointerToSymbolTable = c.I32();
    h.NumberOfSymbols = c.I32();
    h.SizeOfOptionalHeader = c.I16();
    h.Characteristics = c.I16();
    return h;
}

// Both layouts in one decoder: PE32+ has no BaseOfData, and its ImageBase and four stack and heap
// sizes are 8 bytes wide.
template <typename NtHeaders>
NtHeaders DecodeNtHeaders(const unsigned char* bytes) {
    constexpr bool kPe32Plus = std::is_same_v<NtHeaders, IMAGE_NT_HEADERS64>;
    FieldCursor c(bytes);
    auto wide = [&c] {
        if constexpr (kPe32Plus)
            return c.I64();
        else
            return c.I32();
    };
    NtHeaders h;
    h.Signature = c.I32();
    h.FileHeader = DecodeFileHeader(c);
    auto& o = h.OptionalHeader;
    o.Magic = c.I16();
    o.MajorLinkerVersion = c.U8();
    o.MinorLinkerVersion = c.U8();
    o.SizeOfCode = c.I32();
    o.SizeOfInitializedData = c.I32();
    o.SizeOfUninitializedData = c.I32();
    o.AddressOfEntryPoint = c.I32();
    o.BaseOfCode = c.I32();
    if constexpr (!kPe32Plus)
        o.BaseOfData = c.I32();
    o.ImageBase = wide();
    o.SectionAlignment = c.I32();
    o.FileAlignment = c.I32();
    o.MajorOperatingSystemVersion = c.I16();
    o.MinorOperatingSystemVersion = c.I16();
    o.MajorImageVersion = c.I16();
    o.MinorImageVersion = c.I16();
    o.MajorSubsystemVersion = c.I16();
    o.MinorSubsystemVersion = c.I16();
    o.Win32VersionValue = c.I32();
    o.SizeOfImage = c.I32();
    o.SizeOfHeaders = c.I32();
    o.CheckSum = c.I32();
    o.Subsystem = c.I16();
    o.DllCharacteristics = c.I16();
    o.SizeOfStackReserve = wide();
    o.SizeOfStackCommit = wide();
    o.SizeOfHeapReserve = wide();
    o.SizeOfHeapCommit = wide();
    o.LoaderFlags = c.I32();
    o.NumberOfRvaAndSizes = c.I32();
    for (auto& d : o.DataDirectory) {
        d.VirtualAddress = c.I32();
        d.Size = c.I32();
    }
    return h;
}

IMAGE_SECTION_HEADER DecodeSectionHeader(const unsigned char* bytes) {
    FieldCursor c(bytes);
    IMAGE_SECTION_HEADER h;
    for (auto& b : h.Name)
        b = c.U8();
    h.Misc.VirtualSize = c.I32();
    h.VirtualAddress = c.I32();
    h.SizeOfRawData = c.I32();
    h.PointerToRawData = c.I32();
    h.PointerToRelocations = c.I32();
    h.PointerToLinenumbers = c.I32();
    h.NumberOfRelocations = c.I16();
    h.NumberOfLinenumbers = c.I16();
    h.Characteristics = c.I32();
    return h;
}

// Offsets within the NT headers.
constexpr std::uint32_t kOptionalMagicOffset = 24;

}  // namespace

bool ReadImageHeaders(ImageFile& file, ImageHeaders& headers) {
    unsigned char dos[kDosHeaderSize];
    if (file.Read(dos, sizeof dos) != sizeof dos)
        return false;
    headers.DosHeader = DecodeDosHeader(dos);
    if (headers.DosHeader.e_magic != kDosSignature)
        return false;

    // A negative e_lfanew makes the seek fail; the read then happens right after the DOS header.
    const std::int32_t lfanew = headers.DosHeader.e_lfanew;
    file.Seek(lfanew);
    unsigned char nt[kNtHeaders64Size];
    if (file.Read(nt, kNtHeaders32Size) != kNtHeaders32Size)
        return false;
    headers.NtHeaders = DecodeNtHeaders<IMAGE_NT_HEADERS32>(nt);
    if (headers.NtHeaders.Signature != kNtSignature)
        return false;

    // PE32+ carries 16 more bytes of optional header; its section table follows them.
    std::uint32_t ntSize = kNtHeaders32Size;
    headers.Pe32Plus = false;
    if (static_cast<std::int16_t>(LoadLe16(nt + kOptionalMagicOffset)) == kPe32PlusMagic) {
        const std::uint32_t more = kNtHeaders64Size - kNtHeaders32Size;
        if (file.Read(nt + kNtHeaders32Size, more) != more)
            return false;
        headers.NtHeaders64 = DecodeNtHeaders<IMAGE_NT_HEADERS64>(nt);
        headers.Pe32Plus = true;
        ntSize = kNtHeaders64Size;
    }

    const std::int16_t count = headers.NtHeaders.FileHeader.NumberOfSections;
    std::vector<IMAGE_SECTION_HEADER> sections(count > 0 ? static_cast<std::size_t>(count) : 0,
                                               IMAGE_SECTION_HEADER{});
    if (count > 0) {
        // Positions wrap modulo 2^32; a sum with the top bit set is a negative position and fails to
        // seek, leaving the read where the NT headers ended.
        file.Seek(static_cast<std::int32_t>(static_cast<std::uint32_t>(lfanew) + ntSize));
        const std::uint32_t tableSize = static_cast<std::uint32_t>(count) * kSectionHeaderSize;
        const std::unique_ptr<unsigned char[]> table(new unsigned char[tableSize]);
        // A table cut short by the end of the file leaves every entry zero.
        if (file.Read(table.get(), tableSize) == tableSize) {
            for (std::size_t i = 0; i < sections.size(); ++i)
                sections[i] = DecodeSectionHeader(table.get() + i * kSectionHeaderSize);
        }
    }
    headers.Sections.swap(sections);
    return true;
}

IMAGE_DATA_DIRECTORY ExportDirectoryEntry(const ImageHeaders& headers) {
    return headers.Pe32Plus ? headers.NtHeaders64.OptionalHeader.DataDirectory[kExportDirectoryIndex]
                            : headers.NtHeaders.OptionalHeader.DataDirectory[kExportDirectoryIndex];
}

}  // namespace pe
