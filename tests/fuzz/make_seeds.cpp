// fuzz_make_seeds: writes the crafted seed images of the load fuzzer into a folder, plus copies of real files.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "crafted_pe.h"

namespace {

bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

crafted::Plan Basic(bool pe32Plus) {
    crafted::Plan s;
    s.pe32Plus = pe32Plus;
    s.strings = {"Alpha", "_ZN7Ordanel6Reader4LoadEPKc", "beta_gamma", "Forwarded", ""};
    // The fourth name points into the directory: a forwarder, as the walk sees it.
    s.functions = {0x2000, 0x2010, 0x2020, 0x1000 + 40, 0x2040};
    return s;
}

struct Seeds {
    std::string dir;
    int written = 0;
    bool ok = true;

    void Add(const std::string& name, const std::vector<unsigned char>& bytes) {
        ok = WriteFile(dir + "/" + name, bytes) && ok;
        ++written;
    }
    void Add(const std::string& name, const crafted::Image& img) { Add(name, img.bytes.data); }
};

std::vector<unsigned char> Cut(const std::vector<unsigned char>& bytes, std::size_t length) {
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(length, bytes.size()))};
}

void AddCrafted(Seeds& seeds) {
    for (const bool plus : {false, true}) {
        const std::string tag = plus ? "pe32plus" : "pe32";
        const crafted::Image img = crafted::CraftImage(Basic(plus));
        seeds.Add(tag + "-basic", img);

        // Files that end inside each structure the load reads.
        const std::vector<std::uint32_t> cuts = {0x3C, img.ntHeaders + 100, img.sectionTable + 20, img.exportDir + 30,
                                                 img.names + 6, img.ordinals + 3, img.strings + 20};
        for (std::size_t i = 0; i < cuts.size(); ++i)
            seeds.Add(tag + "-cut" + std::to_string(i), Cut(img.bytes.data, cuts[i]));

        // A count far beyond the table; one layout is enough, as each run of it walks the whole bound.
        crafted::Image hostile = img;
        hostile.SetNumberOfNames(plus ? 0x80000000 : 0x7FFFFFFF);
        seeds.Add(tag + (plus ? "-names-negative" : "-names-7fffffff"), hostile);

        crafted::Image sections = img;
        sections.SetNumberOfSections(0x7FFF);
        seeds.Add(tag + "-sections-7fff", sections);
        sections.SetNumberOfSections(0xFFFF);
        seeds.Add(tag + "-sections-negative", sections);

        crafted::Image entry = img;
        entry.bytes.Put32(entry.exportEntry + 4, 0x80000000);
        seeds.Add(tag + "-export-size-negative", entry);
        crafted::Image noName = img;
        noName.bytes.Put32(noName.exportDir + 12, 0);
        seeds.Add(tag + "-export-name-zero", noName);

        crafted::Image lfanew = img;
        lfanew.bytes.Put32(0x3C, 0xFFFFFFF0);
        seeds.Add(tag + "-lfanew-negative", lfanew);
        lfanew.bytes.Put32(0x3C, 0x7FFFFF00);
        seeds.Add(tag + "-lfanew-far", lfanew);
    }

    // Ordinal indexes at the edges, shared by two names.
    crafted::Plan ordinals = Basic(false);
    ordinals.ordinals = {0xFFFF, 0x8000, 2, 2, 0};
    seeds.Add("pe32-ordinals", crafted::CraftImage(ordinals));

    // A section whose range ends where the export section starts, one overlapping it, one past it.
    crafted::Plan edges = Basic(false);
    edges.sectionsBefore = {{0x800, 0x800, 0x400}, {0xF00, 0x100, 0x7FFFFF00}};
    edges.sectionsAfter = {{0x1000, 0xFFFFFFFF, 0x200}, {0x7FFFFFF0, 0x100, 0x80000000}};
    seeds.Add("pe32-section-edges", crafted::CraftImage(edges));

    crafted::Plan unterminated = Basic(true);
    unterminated.strings.back() = "NameRunningToTheEnd";
    unterminated.lastStringUnterminated = true;
    seeds.Add("pe32plus-name-unterminated", crafted::CraftImage(unterminated));

    // Export data in no section, behind a table of many sections.
    crafted::Plan many = Basic(false);
    many.exportsInNoSection = true;
    for (std::uint32_t i = 0; i < 300; ++i)
        many.sectionsAfter.push_back({0x40000000 + 0x1000 * i, 0x1000, 0x200});
    seeds.Add("pe32-many-sections", crafted::CraftImage(many));

    // Many names over a few texts, one of them long.
    crafted::Plan shared = Basic(true);
    shared.strings.push_back(std::string(3000, 'x'));
    for (std::uint32_t i = 0; i < 400; ++i)
        shared.nameRefs.push_back(i % 6);
    shared.ordinals.assign(400, 1);
    seeds.Add("pe32plus-shared-names", crafted::CraftImage(shared));
}

bool CopyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in)
        return false;
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return WriteFile(to, bytes);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: fuzz_make_seeds DIR [FILE...]\n"
                   "Writes the crafted seed images into DIR and copies each FILE there.\n",
                   stderr);
        return 2;
    }
    Seeds seeds{argv[1]};
    AddCrafted(seeds);
    for (int i = 2; i < argc; ++i) {
        const std::string from = argv[i];
        const std::string base = from.substr(from.find_last_of('/') + 1);
        if (CopyFile(from, seeds.dir + "/real-" + base))
            ++seeds.written;
        else
            std::fprintf(stderr, "fuzz_make_seeds: skipped '%s'\n", argv[i]);
    }
    if (!seeds.ok) {
        std::fprintf(stderr, "fuzz_make_seeds: cannot write into '%s'\n", argv[1]);
        return 1;
    }
    std::printf("fuzz_make_seeds: %d seeds in %s\n", seeds.written, argv[1]);
    return 0;
}
