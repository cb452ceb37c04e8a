// ordanel-exports as a program: exit codes, what goes to stdout and stderr, the rows of the sample DLL,
// and the rows of real DLLs next to what llvm-readobj and objdump read from them.
#include <glob.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pe_builder.h"
#include "test_support.h"

namespace {

using testsupport::PeBuilder;
using testsupport::ProcessResult;
using testsupport::RunProcess;
using testsupport::SplitLines;
using Lines = std::vector<std::string>;

const std::string kLister = ORDANEL_EXPORTS_PATH;

ProcessResult Lister(const std::vector<std::string>& args) {
    std::vector<std::string> argv{kLister};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv);
}

TEST(Lister, ExitCodesAndStreams) {
    const testsupport::TempFile image(PeBuilder().Build().bytes);
    const testsupport::TempFile text(std::string("not an image\n"));
    const testsupport::TempDir dir;
    const std::string missing = dir.path() + "/missing.dll";
    const std::string rows = "0001\tAlpha\t00001010\t00000210\n"
                             "0003\tBeta\t00001030\t00000230\n"
                             "0002\tGamma\t00001020\t00000220\n";
    const struct {
        const char* what;
        std::vector<std::string> args;
        int exitCode;
        std::string out;         // exactly
        std::string errHas;      // a part of stderr; empty: stderr is empty
    } cases[] = {
        {"an image", {image.path()}, 0, rows, ""},
        {"a file that is no image", {text.path()}, 0, "", ""},
        {"a file name after --", {"--", image.path()}, 0, rows, ""},
        {"--help", {"--help"}, 0, "", ""},  // stdout checked below
        {"--help after a file", {image.path(), "--help"}, 0, "", ""},
        {"missing file", {missing}, 1, "", missing},
        {"a folder", {dir.path()}, 1, "", dir.path()},
        {"empty path", {""}, 1, "", "''"},
        {"no file", {}, 2, "", "usage: ordanel-exports"},
        {"two files", {image.path(), image.path()}, 2, "", "usage: ordanel-exports"},
        {"unknown option", {"-x", image.path()}, 2, "", "-x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ProcessResult r = Lister(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        if (c.args.size() >= 1 && c.args.back() == "--help") {
            EXPECT_EQ(r.out.rfind("usage: ordanel-exports FILE\n", 0), 0u) << r.out;
        } else {
            EXPECT_EQ(r.out, c.out);
        }
        if (c.errHas.empty()) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
        }
    }
}

TEST(Lister, EscapesBackslashTabLineFeedAndCarriageReturnInNames) {
    PeBuilder b;
    b.names = {{"back\\slash", 0}, {"tab\there", 0}, {"line\nfeed", 0}, {"carriage\rreturn", 0},
               {"\\\\\t\t", 0}, {"\xC4\xE3\xBA\xC3 \x7F", 0}};
    const testsupport::TempFile image(b.Build().bytes);
    const ProcessResult r = Lister({image.path()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(SplitLines(r.out), (Lines{
                                     "0001\tback\\\\slash\t00001010\t00000210",
                                     "0001\ttab\\there\t00001010\t00000210",
                                     "0001\tline\\nfeed\t00001010\t00000210",
                                     "0001\tcarriage\\rreturn\t00001010\t00000210",
                                     "0001\t\\\\\\\\\\t\\t\t00001010\t00000210",
                                     "0001\t\xC4\xE3\xBA\xC3 \x7F\t00001010\t00000210",
                                 }));
}

// The sample DLL the build makes: five names (one a forwarder to kernel32.Beep) and one export by
// ordinal only, which has no row.
TEST(Lister, SampleDll) {
    const ProcessResult r = Lister({ORDANEL_SAMPLE_DLL});
    if (r.exitCode == 1)
        GTEST_SKIP() << "no sample DLL (the build makes it with mingw-w64): " << r.err;
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(SplitLines(r.out), (Lines{
                                     "0001\tSampleAdd\t000014B0\t000008B0",
                                     "0005\tSampleBeep\t00007073\t00002873",       // forwarder text in .edata
                                     "0002\tSampleCounter\t0000602C\t0000002C",    // in .bss: no raw data
                                     "0003\tSampleGreeting\t000014D0\t000008D0",
                                     "0004\tSampleVersion\t000014C0\t000008C0",
                                 }));
}

// --- Comparison with independent tools --------------------------------------------------------------

struct ToolExport {
    std::uint32_t ordinal = 0;
    std::string name;
    std::uint32_t rva = 0;
};

std::uint32_t ParseHex(const std::string& text) {
    return static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// llvm-readobj --coff-exports: one block per export address table entry, with its biased ordinal.
std::vector<ToolExport> ParseReadobj(const std::string& out) {
    std::vector<ToolExport> exports;
    for (const std::string& line : SplitLines(out)) {
        if (line == "Export {")
            exports.emplace_back();
        else if (exports.empty())
            continue;
        else if (StartsWith(line, "  Ordinal: "))
            exports.back().ordinal = static_cast<std::uint32_t>(std::strtoul(line.c_str() + 11, nullptr, 10));
        else if (StartsWith(line, "  Name: "))
            exports.back().name = line.substr(8);
        else if (StartsWith(line, "  RVA: 0x"))
            exports.back().rva = ParseHex(line.substr(9));
    }
    return exports;
}

// objdump -p: the ordinal Base, and the names in the order of the name pointer table.
bool ParseObjdump(const std::string& out, std::uint32_t& base, Lines& names) {
    bool haveBase = false;
    bool inNames = false;
    for (const std::string& line : SplitLines(out)) {
        if (StartsWith(line, "Ordinal Base")) {
            base = static_cast<std::uint32_t>(std::strtoul(line.c_str() + 12, nullptr, 10));
            haveBase = true;
        } else if (StartsWith(line, "[Ordinal/Name Pointer] Table")) {
            inNames = true;
        } else if (inNames) {
            const std::size_t close = line.find("] ");
            if (line.empty() || close == std::string::npos)
                break;
            names.push_back(line.substr(close + 2));
        }
    }
    return haveBase;
}

// objdump -h and the ImageBase of objdump -p: each section's RVA range and where its data lies in the
// file.
struct ToolSection {
    std::uint64_t rva = 0;
    std::uint64_t size = 0;
    std::uint64_t fileOffset = 0;
};

std::vector<ToolSection> ParseSections(const std::string& headers, const std::string& privateHeaders) {
    std::uint64_t imageBase = 0;
    for (const std::string& line : SplitLines(privateHeaders)) {
        if (StartsWith(line, "ImageBase"))
            imageBase = std::strtoull(line.c_str() + 9, nullptr, 16);
    }
    std::vector<ToolSection> sections;
    for (const std::string& line : SplitLines(headers)) {
        std::istringstream in(line);
        unsigned index;
        std::string name, size, vma, lma, fileOffset;
        if (in >> index >> name >> size >> vma >> lma >> fileOffset) {
            sections.push_back({std::strtoull(vma.c_str(), nullptr, 16) - imageBase,
                                std::strtoull(size.c_str(), nullptr, 16),
                                std::strtoull(fileOffset.c_str(), nullptr, 16)});
        }
    }
    return sections;
}

struct ListerRow {
    std::uint32_t index = 0;
    std::string name;
    std::uint32_t rva = 0;
    std::uint32_t offset = 0;
};

std::vector<ListerRow> ParseLister(const std::string& out) {
    std::vector<ListerRow> rows;
    for (const std::string& line : SplitLines(out)) {
        const std::size_t t1 = line.find('\t');
        const std::size_t t2 = line.find('\t', t1 + 1);
        const std::size_t t3 = line.find('\t', t2 + 1);
        if (t3 == std::string::npos || line.find('\t', t3 + 1) != std::string::npos) {
            ADD_FAILURE() << "not a row: " << line;
            continue;
        }
        rows.push_back({ParseHex(line.substr(0, t1)), line.substr(t1 + 1, t2 - t1 - 1),
                        ParseHex(line.substr(t2 + 1, t3 - t2 - 1)), ParseHex(line.substr(t3 + 1))});
    }
    return rows;
}

std::vector<std::string> RuntimeDlls() {
    std::vector<std::string> paths;
    for (const char* pattern : {"/usr/lib/gcc/*-w64-mingw32/*posix/*.dll", "/usr/*-w64-mingw32/lib/*.dll"}) {
        glob_t g{};
        if (::glob(pattern, 0, nullptr, &g) == 0) {
            for (std::size_t i = 0; i < g.gl_pathc; ++i)
                paths.emplace_back(g.gl_pathv[i]);
        }
        ::globfree(&g);
    }
    return paths;
}

// Names, their order, the index (ordinal - Base + 1) and the RVAs must agree with llvm-readobj and
// objdump; llvm-readobj's entries without a name have no row. The file offset must agree with
// objdump's section headers wherever they place the RVA in a section.
void CompareWithTools(const std::string& path, std::size_t& rowsCompared) {
    SCOPED_TRACE(path);
    const ProcessResult readobj = RunProcess({"llvm-readobj", "--coff-exports", path});
    const ProcessResult objdump = RunProcess({"objdump", "-p", path});
    const ProcessResult objdumpSections = RunProcess({"objdump", "-h", path});
    const ProcessResult ours = Lister({path});
    ASSERT_EQ(readobj.exitCode, 0) << readobj.err;
    ASSERT_EQ(objdump.exitCode, 0) << objdump.err;
    ASSERT_EQ(ours.exitCode, 0) << ours.err;

    std::uint32_t base = 0;
    Lines objdumpNames;
    ASSERT_TRUE(ParseObjdump(objdump.out, base, objdumpNames)) << "no Ordinal Base in objdump -p";
    std::map<std::string, ToolExport> named;
    for (const ToolExport& e : ParseReadobj(readobj.out)) {
        if (!e.name.empty())
            named[e.name] = e;
    }
    const std::vector<ListerRow> rows = ParseLister(ours.out);
    const std::vector<ToolSection> sections = ParseSections(objdumpSections.out, objdump.out);
    ASSERT_FALSE(sections.empty()) << objdumpSections.out;

    Lines ourNames;
    for (const ListerRow& row : rows)
        ourNames.push_back(row.name);
    EXPECT_EQ(ourNames, objdumpNames);
    EXPECT_EQ(rows.size(), named.size());
    EXPECT_FALSE(rows.empty());
    for (const ListerRow& row : rows) {
        const auto it = named.find(row.name);
        if (it == named.end()) {
            ADD_FAILURE() << row.name << " is not a name llvm-readobj lists";
            continue;
        }
        EXPECT_EQ(row.index - 1 + base, it->second.ordinal) << row.name;
        EXPECT_EQ(row.rva, it->second.rva) << row.name;
        for (const ToolSection& section : sections) {
            if (section.rva <= row.rva && row.rva < section.rva + section.size) {
                EXPECT_EQ(row.offset, row.rva - section.rva + section.fileOffset) << row.name;
                break;
            }
        }
        ++rowsCompared;
    }
}

TEST(Lister, AgreesWithLlvmReadobjAndObjdumpOnRuntimeDlls) {
    if (RunProcess({"llvm-readobj", "--version"}).exitCode != 0 || RunProcess({"objdump", "--version"}).exitCode != 0)
        GTEST_SKIP() << "llvm-readobj or objdump is missing";
    const std::vector<std::string> dlls = RuntimeDlls();
    if (dlls.empty())
        GTEST_SKIP() << "no mingw-w64 runtime DLLs on this machine";
    std::size_t rows = 0;
    for (const std::string& dll : dlls)
        CompareWithTools(dll, rows);
    std::printf("compared %zu rows of %zu DLLs\n", rows, dlls.size());
}

// The builder's own images, read by the same tools: the tiny images the other tests use are images
// other readers accept, and read the same way.
TEST(Lister, AgreesWithLlvmReadobjAndObjdumpOnBuiltImages) {
    if (RunProcess({"llvm-readobj", "--version"}).exitCode != 0 || RunProcess({"objdump", "--version"}).exitCode != 0)
        GTEST_SKIP() << "llvm-readobj or objdump is missing";
    for (const bool pe32plus : {false, true}) {
        SCOPED_TRACE(pe32plus ? "PE32+" : "PE32");
        PeBuilder b;
        b.pe32plus = pe32plus;
        b.base = 5;
        const testsupport::TempFile image(b.Build().bytes);
        std::size_t rows = 0;
        CompareWithTools(image.path(), rows);
        EXPECT_EQ(rows, 3u);
    }
}

}  // namespace
