// bench_make_images: the inputs of the benchmark (a .def of many realistic export names) and of the
// hostile-input timings (images built to make a careless export walk run long or fill memory).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "crafted_pe.h"

namespace {

// xorshift64: the same names on every machine and every run.
class Rng {
public:
    std::uint64_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    template <typename T, std::size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Next() % N];
    }

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

std::string Sized(const std::string& id) { return std::to_string(id.size()) + id; }

// A C name in the style of the big C libraries: prefix_verb_noun, now and then with a qualifier.
std::string CName(Rng& rng) {
    static const char* const prefixes[] = {"png", "xml", "sqlite3", "curl_easy", "SSL", "gz", "av", "vk", "gl",
                                           "SDL", "FT", "hb", "uv", "lua", "jpeg", "TIFF", "cairo", "g", "z", "EVP"};
    static const char* const verbs[] = {"get", "set", "create", "destroy", "read", "write", "init", "free",
                                        "open", "close", "find", "add", "remove", "update", "parse", "encode",
                                        "decode", "flush", "lock", "unlock", "copy", "reset"};
    static const char* const nouns[] = {"buffer", "context", "stream", "header", "option", "value", "node",
                                        "table", "image", "font", "glyph", "socket", "session", "cert",
                                        "frame", "packet", "palette", "chunk", "attr", "error", "IHDR", "mutex"};
    static const char* const tails[] = {"", "", "", "", "_ex", "_r", "2", "_internal", "W", "A", "_fixed", "_default"};
    return std::string(rng.Pick(prefixes)) + "_" + rng.Pick(verbs) + "_" + rng.Pick(nouns) + rng.Pick(tails);
}

// An Itanium-mangled C++ member function, as a mingw-w64 C++ library exports them by the thousand.
std::string CxxName(Rng& rng) {
    static const char* const spaces[] = {"Ordanel", "gfx", "net", "io", "core", "ui", "text", "db"};
    static const char* const classes[] = {"ExportTable", "RenderTarget", "HttpRequest", "FileStream", "Scheduler",
                                          "TextLayout", "QueryBuilder", "ImageDecoder", "SocketPool", "Widget",
                                          "ConfigNode", "ShaderCache", "TreeModel", "JsonWriter"};
    static const char* const methods[] = {"append", "resize", "flushPending", "setViewport", "beginTransaction",
                                          "decodeFrame", "measure", "connectAsync", "lookup", "invalidateRange",
                                          "serialize", "onMouseMove", "reserve", "takeOwnership", "drawText"};
    static const char* const params[] = {
        "v", "i", "j", "m", "d", "b", "PKc", "Pv", "RKS0_", "S1_",
        "RKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE",
        "St10unique_ptrIS0_St14default_deleteIS0_EE",
        "RKSt6vectorIiSaIiEE", "St8functionIFvvEE", "PNS_7ContextE", "NS_4RectE"};
    std::string name = rng.Next() % 3 == 0 ? "_ZNK" : "_ZN";
    name += Sized(rng.Pick(spaces));
    if (rng.Next() % 2 == 0)
        name += Sized("detail");
    name += Sized(rng.Pick(classes));
    name += Sized(rng.Pick(methods));
    name += "E";
    const std::uint64_t count = 1 + rng.Next() % 4;
    for (std::uint64_t i = 0; i < count; ++i)
        name += rng.Pick(params);
    return name;
}

// A .def of `count` unique names, C and C++ about half each, all bound to a handful of functions.
bool WriteDef(const std::string& path, std::uint32_t count, int functions) {
    std::ofstream out(path, std::ios::trunc);
    out << "LIBRARY bench_exports.dll\nEXPORTS\n";
    Rng rng;
    std::set<std::string> seen;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string name = rng.Next() % 2 == 0 ? CName(rng) : CxxName(rng);
        while (!seen.insert(name).second)
            name += std::to_string(rng.Next() % 10);
        out << "    " << name << " = bench_fn" << i % static_cast<std::uint32_t>(functions) << "\n";
    }
    return static_cast<bool>(out);
}

bool WriteImage(const std::string& path, const crafted::Image& img) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(img.bytes.data.data()), static_cast<std::streamsize>(img.bytes.data.size()));
    return static_cast<bool>(out);
}

constexpr std::uint32_t kManyNames = 131072;

bool WriteHostile(const std::string& dir) {
    bool ok = true;

    // A three-name table claiming 0x7FFFFFFF names.
    crafted::Plan tiny;
    tiny.strings = {"one", "two", "three"};
    crafted::Image counted = crafted::CraftImage(tiny);
    counted.SetNumberOfNames(0x7FFFFFFF);
    ok = WriteImage(dir + "/names-7fffffff.dll", counted) && ok;

    // Every name points at the same 1 MiB of letters that runs to the end of the file without a zero.
    crafted::Plan endless;
    endless.strings.push_back(std::string(1 << 20, 'Q'));
    endless.lastStringUnterminated = true;
    endless.nameRefs.assign(kManyNames, 0);
    endless.ordinals.assign(kManyNames, 0);
    endless.functions = {0x2000};
    ok = WriteImage(dir + "/names-zero-free.dll", crafted::CraftImage(endless)) && ok;

    // 32767 overlapping sections, none of which holds the export data, and many names to map.
    crafted::Plan sections;
    sections.exportsInNoSection = true;
    for (std::uint32_t i = 0; i < 32767; ++i)
        sections.sectionsAfter.push_back({0x10000000 + 0x100 * i, 0x10000, 0x400});
    for (std::uint32_t i = 0; i < kManyNames; ++i)
        sections.strings.push_back("Export" + std::to_string(i));
    ok = WriteImage(dir + "/sections-32767.dll", crafted::CraftImage(sections)) && ok;

    // Names of 100 KB, sixteen of them, named over and over.
    crafted::Plan longNames;
    for (int j = 0; j < 16; ++j)
        longNames.strings.push_back(std::string(100 * 1000, static_cast<char>('a' + j)));
    for (std::uint32_t i = 0; i < kManyNames; ++i)
        longNames.nameRefs.push_back(i % 16);
    longNames.ordinals.assign(kManyNames, 0);
    longNames.functions = {0x2000};
    ok = WriteImage(dir + "/names-100k.dll", crafted::CraftImage(longNames)) && ok;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "def" && argc == 4) {
        const long count = std::strtol(argv[2], nullptr, 10);
        if (count > 0 && count <= 65535 && WriteDef(argv[3], static_cast<std::uint32_t>(count), 8))
            return 0;
    } else if (mode == "hostile" && argc == 3) {
        if (WriteHostile(argv[2]))
            return 0;
    } else {
        std::fputs("usage: bench_make_images def COUNT FILE.def | bench_make_images hostile DIR\n", stderr);
        return 2;
    }
    std::fprintf(stderr, "bench_make_images: cannot write the %s output\n", mode.c_str());
    return 1;
}
