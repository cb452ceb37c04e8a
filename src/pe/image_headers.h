// The header records of the image being examined, and ReadImageHeaders, which fills and checks them.
#pragma once

#include <cstdint>
#include <vector>

#include "pe/image_file.h"

namespace pe {

// The PE/COFF records keep their standard names, field order and widths. Fields of 2, 4 and 8 bytes
// are signed, 1-byte fields unsigned, exactly as the bytes were in the file.

struct IMAGE_DOS_HEADER {
    std::int16_t e_magic, e_cblp, e_cp, e_crlc, e_cparhdr, e_minalloc, e_maxalloc, e_ss, e_sp, e_csum, e_ip,
        e_cs, e_lfarlc, e_ovno;
    std::int16_t e_res[4];
    std::int16_t e_oemid, e_oeminfo;
    std::int16_t e_res2[10];
    std::int32_t e_lfanew;
};

struct IMAGE_FILE_HEADER {
    std::int16_t Machine, NumberOfSections;
    std::int32_t TimeDateStamp, PointerToSymbolTable, NumberOfSymbols;
    std::int16_t SizeOfOptionalHeader, Characteristics;
};

struct IMAGE_DATA_DIRECTORY {
    std::int32_t VirtualAddress, Size;
};

// Constants keep names of our own: winnt.h defines the standard ones as macros.
constexpr int kDirectoryEntryCount = 16;   // IMAGE_NUMBEROF_DIRECTORY_ENTRIES
constexpr int kExportDirectoryIndex = 0;   // IMAGE_DIRECTORY_ENTRY_EXPORT

struct IMAGE_OPTIONAL_HEADER32 {
    std::int16_t Magic;
    std::uint8_t MajorLinkerVersion, MinorLinkerVersion;
    std::int32_t SizeOfCode, SizeOfInitializedData, SizeOfUninitializedData, AddressOfEntryPoint, BaseOfCode,
        BaseOfData, ImageBase, SectionAlignment, FileAlignment;
    std::int16_t MajorOperatingSystemVersion, MinorOperatingSystemVersion, MajorImageVersion, MinorImageVersion,
        MajorSubsystemVersion, MinorSubsystemVersion;
    std::int32_t Win32VersionValue, SizeOfImage, SizeOfHeaders, CheckSum;
    std::int16_t Subsystem, DllCharacteristics;
    std::int32_t SizeOfStackReserve, SizeOfStackCommit, SizeOfHeapReserve, SizeOfHeapCommit, LoaderFlags,
        NumberOfRvaAndSizes;
    IMAGE_DATA_DIRECTORY DataDirectory[kDirectoryEntryCount];
};

struct IMAGE_OPTIONAL_HEADER64 {
    std::int16_t Magic;
    std::uint8_t MajorLinkerVersion, MinorLinkerVersion;
    std::int32_t SizeOfCode, SizeOfInitializedData, SizeOfUninitializedData, AddressOfEntryPoint, BaseOfCode;
    std::int64_t ImageBase;
    std::int32_t SectionAlignment, FileAlignment;
    std::int16_t MajorOperatingSystemVersion, MinorOperatingSystemVersion, MajorImageVersion, MinorImageVersion,
        MajorSubsystemVersion, MinorSubsystemVersion;
    std::int32_t Win32VersionValue, SizeOfImage, SizeOfHeaders, CheckSum;
    std::int16_t Subsystem, DllCharacteristics;
    std::int64_t SizeOfStackReserve, SizeOfStackCommit, SizeOfHeapReserve, SizeOfHeapCommit;
    std::int32_t LoaderFlags, NumberOfRvaAndSizes;
    IMAGE_DATA_DIRECTORY DataDirectory[kDirectoryEntryCount];
};

struct IMAGE_NT_HEADERS32 {
    std::int32_t Signature;
    IMAGE_FILE_HEADER FileHeader;
    IMAGE_OPTIONAL_HEADER32 OptionalHeader;
};

struct IMAGE_NT_HEADERS64 {
    std::int32_t Signature;
    IMAGE_FILE_HEADER FileHeader;
    IMAGE_OPTIONAL_HEADER64 OptionalHeader;
};

struct IMAGE_SECTION_HEADER {
    std::uint8_t Name[8];  // raw bytes, not necessarily zero-terminated
    union {
        std::int32_t PhysicalAddress;
        std::int32_t VirtualSize;
    } Misc;
    std::int32_t VirtualAddress, SizeOfRawData, PointerToRawData, PointerToRelocations, PointerToLinenumbers;
    std::int16_t NumberOfRelocations, NumberOfLinenumbers;
    std::int32_t Characteristics;
};

// Sizes of the records as they lie in the file.
constexpr std::uint32_t kDosHeaderSize = 64;
constexpr std::uint32_t kNtHeaders32Size = 248;
constexpr std::uint32_t kNtHeaders64Size = 264;
constexpr std::uint32_t kSectionHeaderSize = 40;

static_assert(sizeof(IMAGE_DOS_HEADER) == kDosHeaderSize);
static_assert(sizeof(IMAGE_FILE_HEADER) == 20);
static_assert(sizeof(IMAGE_OPTIONAL_HEADER32) == 224);
static_assert(sizeof(IMAGE_OPTIONAL_HEADER64) == 240);
static_assert(sizeof(IMAGE_NT_HEADERS32) == kNtHeaders32Size);
static_assert(sizeof(IMAGE_NT_HEADERS64) == kNtHeaders64Size);
static_assert(sizeof(IMAGE_SECTION_HEADER) == kSectionHeaderSize);

constexpr std::int16_t kDosSignature = 0x5A4D;      // "MZ"
constexpr std::int32_t kNtSignature = 0x00004550;   // "PE\0\0"
constexpr std::int16_t kPe32PlusMagic = 0x020B;     // the optional header of PE32+

// The headers of the image being examined. Starts zero-filled with an empty section table.
struct ImageHeaders {
    IMAGE_DOS_HEADER DosHeader{};
    IMAGE_NT_HEADERS32 NtHeaders{};    // as read in the PE32 layout, which is every image's but PE32+
    IMAGE_NT_HEADERS64 NtHeaders64{};  // meaningful only while Pe32Plus is true
    bool Pe32Plus = false;
    std::vector<IMAGE_SECTION_HEADER> Sections;
};

// Reads the DOS header, the NT headers and the section table from `file`, which has just been opened
// and is still at its start. Returns HeadersValid: true exactly when both the "MZ" and the "PE\0\0"
// signatures matched (and, for a PE32+ image, its 16 further header bytes could be read). A record is
// overwritten only once its read came back complete; the section table only after both signatures
// matched. The file position afterwards is wherever the last read left it.
bool ReadImageHeaders(ImageFile& file, ImageHeaders& headers);

// The export entry of the data directory, in whichever layout the headers were read.
IMAGE_DATA_DIRECTORY ExportDirectoryEntry(const ImageHeaders& headers);

}  // namespace pe
