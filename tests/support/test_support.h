// Helpers the reader's tests share: temp files, a sink that keeps rows as lines, running a program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pe/export_list.h"

namespace testsupport {

// A file in the temp folder holding given bytes, removed when the TempFile goes.
class TempFile {
public:
    explicit TempFile(const std::vector<unsigned char>& bytes);
    explicit TempFile(const std::string& text);
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile();

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A temp folder, removed (it must be empty by then) when the TempDir goes.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Keeps every row as one line "IndexText TAB FunctionName TAB RvaText TAB OffsetText", and counts
// the Clear calls.
class RowCollector final : public pe::ExportRowSink {
public:
    void Clear() override {
        rows.clear();
        ++clears;
    }
    void Append(const pe::ExportRow& row) override {
        rows.push_back(row.IndexText + '\t' + row.FunctionName + '\t' + row.RvaText + '\t' + row.OffsetText);
    }

    std::vector<std::string> rows;
    int clears = 0;
};

// Rows of an image given as bytes: its headers read and its exports listed through pe::ImageFile
// over memory.
std::vector<std::string> ListRows(const std::vector<unsigned char>& bytes);

// Rows of an image written to a temp file and loaded by path, the way the programs load it.
std::vector<std::string> LoadRows(const std::vector<unsigned char>& bytes);

struct ProcessResult {
    int exitCode = -1;  // -1 when it did not exit normally; 127 when it could not be started
    std::string out;
    std::string err;
};

// Runs `argv[0]` (searched in PATH when it has no slash) with the arguments, stdin empty, and
// collects its exit code, standard output and standard error.
ProcessResult RunProcess(const std::vector<std::string>& argv);

// Splits text into lines at LF; a last line without LF counts too.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace testsupport
