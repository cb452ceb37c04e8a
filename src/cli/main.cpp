// ordanel-exports: lists the named exports of a PE image on standard output, one row a line.
#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#include "pe/export_list.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const char kUsage[] =
    "usage: ordanel-exports FILE\n"
    "Lists the named exports of the PE image FILE, one line each, in the order of its name table:\n"
    "index TAB name TAB RVA TAB file offset (hexadecimal). In names, \\ TAB LF CR are written as\n"
    "\\\\ \\t \\n \\r. Exit status: 0 when FILE could be read, 1 when it cannot be opened, 2 on a usage error.\n";

// Collects lines in a large buffer and writes it out in big pieces.
class StdoutSink final : public pe::ExportRowSink {
public:
    StdoutSink() { out_.reserve(kFlushAt + 4096); }
    ~StdoutSink() { Flush(); }

    void Clear() override {}

    void Append(const pe::ExportRow& row) override {
        out_ += row.IndexText;
        out_ += '\t';
        AppendEscaped(row.FunctionName);
        out_ += '\t';
        out_ += row.RvaText;
        out_ += '\t';
        out_ += row.OffsetText;
        out_ += '\n';
        if (out_.size() >= kFlushAt)
            Flush();
    }

    void Flush() {
        if (!out_.empty())
            std::fwrite(out_.data(), 1, out_.size(), stdout);
        out_.clear();
    }

private:
    // Plain bytes go out in whole runs; only backslash, TAB, LF and CR take two characters.
    void AppendEscaped(const std::string& name) {
        const char* p = name.data();
        const char* const end = p + name.size();
        while (p != end) {
            const char* const run = p;
            while (p != end && !kEscaped[static_cast<unsigned char>(*p)])
                ++p;
            out_.append(run, p);
            if (p == end)
                break;
            switch (*p++) {
            case '\\': out_ += "\\\\"; break;
            case '\t': out_ += "\\t"; break;
            case '\n': out_ += "\\n"; break;
            default: out_ += "\\r"; break;
            }
        }
    }

    static constexpr std::size_t kFlushAt = 1 << 20;
    static constexpr auto kEscaped = [] {
        std::array<bool, 256> escaped{};
        escaped['\\'] = escaped['\t'] = escaped['\n'] = escaped['\r'] = true;
        return escaped;
    }();
    std::string out_;
};

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);  // rows end in LF on every platform
#endif
    const char* path = nullptr;
    bool operandsOnly = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!operandsOnly && std::strcmp(arg, "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!operandsOnly && std::strcmp(arg, "--") == 0) {
            operandsOnly = true;
            continue;
        }
        if (!operandsOnly && arg[0] == '-' && arg[1] != '\0') {
            std::fprintf(stderr, "ordanel-exports: unknown option '%s'\n%s", arg, kUsage);
            return 2;
        }
        if (path != nullptr) {
            std::fprintf(stderr, "ordanel-exports: one file at a time\n%s", kUsage);
            return 2;
        }
        path = arg;
    }
    if (path == nullptr) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    pe::ImageHeaders headers;
    const pe::OpenFailure failure = [&] {
        StdoutSink sink;
        return pe::LoadExportList(path, headers, sink);
    }();
    if (failure.failed) {
        std::fprintf(stderr, "ordanel-exports: cannot read '%s': %s\n", path, failure.message.c_str());
        return 1;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "ordanel-exports: cannot write the list\n");
        return 1;
    }
    return 0;
}
