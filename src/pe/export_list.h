// The export walk: ExportRow, ExportRowSink, ListExports and LoadExportList.
#pragma once

#include <cstdint>
#include <string>

#include "pe/image_file.h"
#include "pe/image_headers.h"

namespace pe {

// Bounds that keep a hostile file from making a load run for ever or fill memory. Every real image
// lists in full: an export table addresses at most 65,536 functions, and real names are far shorter.
//
// At most this many rows per load, twice the number of ordinals an export table can address; the
// walk stops after it.
constexpr std::int32_t kMaxExportRows = 131072;
// A longer name is cut to this many bytes; the rest of it is not read.
constexpr std::uint32_t kMaxNameBytes = 64 * 1024;
// Name bytes kept per load; once a load has taken this many, later names are cut to what remains
// (empty once it is spent), so a table of many huge names cannot build gigabytes of text.
constexpr std::uint32_t kMaxNameBytesPerLoad = 64 * 1024 * 1024;

// One row of the export list, its four texts in column order.
struct ExportRow {
    std::string IndexText;     // "序号": position in the export address table counted from 1, "%.4X"
    std::string FunctionName;  // "函数名": the name's bytes, without the zero byte
    std::string RvaText;       // "RAV": the function's RVA, "%.8X"
    std::string OffsetText;    // "偏移": the function's file position, "%.8X"
};

// What a load fills: a list control in the window, standard output in the lister.
class ExportRowSink {
public:
    virtual void Clear() = 0;                          // remove every row
    virtual void Append(const ExportRow& row) = 0;     // add a row as the new last one; the row is not kept

protected:
    ~ExportRowSink() = default;
};

// Walks the export directory of an image whose headers ReadImageHeaders has just found valid, and
// appends one row per name, in the order of the name pointer table. Ends without a row when there is
// no export entry, the directory cannot be read whole, its Name is 0 or it counts no names. Inside
// the name loop a short read never stops the walk: the value keeps what it held before.
void ListExports(ImageFile& file, const ImageHeaders& headers, ExportRowSink& sink);

// Why a file could not be opened, as the platform said it; `message` is empty when it opened.
struct OpenFailure {
    bool failed = false;
    std::string message;
};

// The whole load of one file: clears the sink, opens the file for reading (sharing read and write),
// reads its headers into `headers`, lists its exports when they are valid and closes the file. Reports
// nothing itself: when the file cannot be opened, the sink stays empty, `headers` untouched, and the
// result says why, for the caller to tell the user.
OpenFailure LoadExportList(const char* path, ImageHeaders& headers, ExportRowSink& sink);

// "%.4X" and "%.8X" of a 32-bit value taken as unsigned.
void FormatHex4(std::uint32_t value, std::string& text);
void FormatHex8(std::uint32_t value, std::string& text);

}  // namespace pe
