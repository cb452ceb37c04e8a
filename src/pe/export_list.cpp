// The export walk over an opened image, and the load of a file by path.
#include "pe/export_list.h"

#include <algorithm>

#include "file/os_file.h"
#include "pe/le_read.h"
#include "pe/section_map.h"

namespace pe {
namespace {

constexpr std::uint32_t kExportDirectorySize = 40;

// The fields of IMAGE_EXPORT_DIRECTORY the walk uses, by their offset in the 40 bytes.
struct ExportDirectory {
    std::int32_t Name;                   // 12
    std::int32_t NumberOfNames;          // 24
    std::int32_t AddressOfFunctions;     // 28
    std::int32_t AddressOfNames;         // 32
    std::int32_t AddressOfNameOrdinals;  // 36
};

ExportDirectory DecodeExportDirectory(const unsigned char* bytes) {
    auto i32 = [bytes](int offset) { return static_cast<std::int32_t>(LoadLe32(bytes + offset)); };
    return {i32(12), i32(24), i32(28), i32(32), i32(36)};
}

// A table entry's position: the table's start mapped once, plus the entry's distance, wrapping.
std::int32_t EntryPosition(std::int32_t tableStart, std::uint32_t distance) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(tableStart) + distance);
}

// A 2- or 4-byte value: read whole, or left as it was (and the position with it).
template <std::uint32_t Width>
void ReadValue(ImageFile& file, std::uint32_t& value) {
    unsigned char bytes[Width];
    if (file.ReadWhole(bytes, Width))
        value = Width == 2 ? LoadLe16(bytes) : LoadLe32(bytes);
}

void FormatHex(std::uint32_t value, int minDigits, std::string& text) {
    static const char kDigits[] = "0123456789ABCDEF";
    char buffer[8];
    char* first = buffer + sizeof buffer;
    const char* const padTo = buffer + sizeof buffer - minDigits;
    do {
        *--first = kDigits[value & 0xF];
        value >>= 4;
    } while (value != 0 || first > padTo);
    text.assign(first, buffer + sizeof buffer);
}

}  // namespace

void FormatHex4(std::uint32_t value, std::string& text) { FormatHex(value, 4, text); }
void FormatHex8(std::uint32_t value, std::string& text) { FormatHex(value, 8, text); }

void ListExports(ImageFile& file, const ImageHeaders& headers, ExportRowSink& sink) {
    const IMAGE_DATA_DIRECTORY entry = ExportDirectoryEntry(headers);
    if (entry.Size <= 0)
        return;

    const SectionMap map(headers.Sections);
    unsigned char bytes[kExportDirectorySize];
    file.Seek(map.ToFileOffset(entry.VirtualAddress));
    if (file.Read(bytes, sizeof bytes) != sizeof bytes)
        return;
    const ExportDirectory dir = DecodeExportDirectory(bytes);
    if (dir.Name == 0)
        return;

    // Each table is placed in the file as a whole: its start is mapped, entries lie on from there.
    const std::int32_t ordinals = map.ToFileOffset(dir.AddressOfNameOrdinals);
    const std::int32_t functions = map.ToFileOffset(dir.AddressOfFunctions);
    const std::int32_t names = map.ToFileOffset(dir.AddressOfNames);

    // These carry over from one name to the next when a read comes back short.
    std::uint32_t ordinal = 0;
    std::uint32_t functionRva = 0;
    std::uint32_t nameRva = 0;
    std::uint32_t nameBytesLeft = kMaxNameBytesPerLoad;
    ExportRow row;

    const std::int32_t count = std::min(dir.NumberOfNames, kMaxExportRows);
    for (std::int32_t i = 0; i < count; ++i) {
        const auto index = static_cast<std::uint32_t>(i);
        file.Seek(EntryPosition(ordinals, 2 * index));
        ReadValue<2>(file, ordinal);
        file.Seek(EntryPosition(functions, 4 * ordinal));
        ReadValue<4>(file, functionRva);
        file.Seek(EntryPosition(names, 4 * index));
        ReadValue<4>(file, nameRva);
        file.Seek(map.ToFileOffset(static_cast<std::int32_t>(nameRva)));
        file.ReadText(row.FunctionName, std::min(kMaxNameBytes, nameBytesLeft));
        nameBytesLeft -= static_cast<std::uint32_t>(row.FunctionName.size());

        FormatHex4(ordinal + 1, row.IndexText);
        FormatHex8(functionRva, row.RvaText);
        FormatHex8(static_cast<std::uint32_t>(map.ToFileOffset(static_cast<std::int32_t>(functionRva))), row.OffsetText);
        sink.Append(row);
    }
}

OpenFailure LoadExportList(const char* path, ImageHeaders& headers, ExportRowSink& sink) {
    sink.Clear();
    file::OsFile os;
    OpenFailure failure;
    if (!os.Open(path, failure.message)) {
        failure.failed = true;
        return failure;
    }
    ImageFile image(os);
    if (ReadImageHeaders(image, headers))
        ListExports(image, headers, sink);
    return failure;
}

}  // namespace pe
