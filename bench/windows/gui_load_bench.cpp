// gui-load-bench [--rounds N] [--drops M] IMAGE...: the time from a drop on the real ordanel.exe to the
// last row in its list, and the program's memory after the fill. Each round starts a fresh program, drops
// the image on the empty list (first load), drops it M-1 more times (each replaces the rows), then closes
// the program. Prints every round and a Markdown table of medians; it fails only when a load does not
// show the lister's rows, never on a time.
//
// Memory under Wine 8 comes from the Linux process: WorkingSetSize is VmRSS (Wine's own DLLs included),
// PagefileUsage is RssAnon + VmSwap (the closest to private bytes), PeakWorkingSetSize is VmHWM, and
// PrivateUsage stays 0. Its GetProcessTimes for another process shows a small part of the processor time
// /proc counts, so the program's processor time is not reported here.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "file_drop.h"
#include "lister.h"
#include "paths.h"
#include "program.h"
#include "wait.h"
#include "window_state.h"

namespace {

// A load that has not ended by then counts as failed. With redrawing left on under Wine's default
// theme, 65,000 rows take about a quarter of an hour.
constexpr DWORD kLoadLimitMs = 300000;

double NowMs() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency);
}

// Polls every millisecond or so; e2e::WaitUntil sleeps up to 10 ms between looks, too coarse here.
bool PollUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const double deadline = NowMs() + timeoutMs;
    for (;;) {
        if (done())
            return true;
        if (NowMs() >= deadline)
            return false;
        Sleep(1);
    }
}

double MiB(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

struct Memory {
    bool ok = false;
    double workingSet = 0;  // MiB, like the rest
    double peakWorkingSet = 0;
    double pagefile = 0;
    double privateUsage = 0;
};

Memory ReadMemory(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    Memory memory;
    memory.ok = GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                     sizeof counters) != FALSE;
    if (memory.ok) {
        memory.workingSet = MiB(counters.WorkingSetSize);
        memory.peakWorkingSet = MiB(counters.PeakWorkingSetSize);
        memory.pagefile = MiB(counters.PagefileUsage);
        memory.privateUsage = MiB(counters.PrivateUsage);
    }
    return memory;
}

struct Image {
    std::string path;  // as the program receives it
    std::string name;  // for the table
    std::vector<std::vector<std::string>> rows;  // what the lister prints for it
};

struct Load {
    bool ok = false;
    double rowsMs = 0;     // from just before the drag starts until the list holds every row
    double paintedMs = 0;  // ... until the list has nothing left to paint
    Memory memory;         // right after the rows are in
};

// Drops the image on the list and times it. The program loads inside its Drop, so DoDragDrop returns
// when the last row is in; the row count and the last row's name confirm it. The start mark includes
// starting the drag thread and its OleInitialize: the small image's rows show that fixed cost.
Load TimedDrop(const e2e::Program& app, const Image& image) {
    Load load;
    const POINT at = e2e::ClientCentre(app.list());
    const int expected = static_cast<int>(image.rows.size());
    e2e::Drag drag;
    const double start = NowMs();
    if (!drag.StartFiles(at, {image.path})) {
        std::fprintf(stderr, "gui-load-bench: the drag did not start\n");
        return load;
    }
    if (!PollUntil([&] { return drag.Wait(0); }, kLoadLimitMs)) {
        std::fprintf(stderr, "gui-load-bench: the drop of %s did not end within %lu s\n", image.name.c_str(),
                     kLoadLimitMs / 1000);
        return load;
    }
    const bool allRows = PollUntil([&] { return e2e::ListRowCount(app.list()) == expected; }, e2e::kPatienceMs);
    load.rowsMs = NowMs() - start;
    // A list with nothing invalid has painted since the load's final redraw.
    PollUntil([&] { return GetUpdateRect(app.list(), nullptr, FALSE) == FALSE; }, e2e::kPatienceMs);
    load.paintedMs = NowMs() - start;
    load.memory = ReadMemory(app.process());
    SetCursorPos(0, 0);  // no tooltip or hot row over the list between drops

    if (!allRows) {
        std::fprintf(stderr, "gui-load-bench: %s: the list holds %d rows, the lister prints %d\n",
                     image.name.c_str(), e2e::ListRowCount(app.list()), expected);
        return load;
    }
    if (expected > 0) {
        const std::string last = e2e::ListCellText(app.process(), app.list(), expected - 1, 1);
        if (last != image.rows.back()[1]) {
            std::fprintf(stderr, "gui-load-bench: %s: the last row is \"%s\", the lister's \"%s\"\n",
                         image.name.c_str(), last.c_str(), image.rows.back()[1].c_str());
            return load;
        }
    }
    load.ok = true;
    return load;
}

void Close(e2e::Program& app) {
    PostMessageA(app.window(), WM_CLOSE, 0, 0);
    if (!app.WaitForExit(10000, nullptr))
        std::fprintf(stderr, "gui-load-bench: the program did not close; ending it\n");
    app.Kill();
}

struct Round {
    Memory started;  // the window shown, the list empty
    Load first;
    std::vector<Load> replacing;
};

bool RunRound(const Image& image, int drops, Round* round) {
    e2e::Program app;
    if (!app.Start()) {
        std::fprintf(stderr, "gui-load-bench: ordanel.exe did not show its window\n");
        return false;
    }
    round->started = ReadMemory(app.process());
    round->first = TimedDrop(app, image);
    bool ok = round->first.ok;
    for (int n = 1; ok && n < drops; ++n) {
        round->replacing.push_back(TimedDrop(app, image));
        ok = round->replacing.back().ok;
    }
    Close(app);
    return ok;
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

template <typename T, typename Field>
std::vector<double> Collect(const std::vector<T>& items, Field field) {
    std::vector<double> values;
    for (const T& item : items)
        values.push_back(field(item));
    return values;
}

void PrintMemoryCells(const std::vector<Memory>& memory) {
    std::printf(" %.1f | %.1f | %.1f | %.1f |\n", Median(Collect(memory, [](const Memory& m) { return m.workingSet; })),
                Median(Collect(memory, [](const Memory& m) { return m.pagefile; })),
                Median(Collect(memory, [](const Memory& m) { return m.peakWorkingSet; })),
                Median(Collect(memory, [](const Memory& m) { return m.privateUsage; })));
}

void PrintLoadRow(const Image& image, const char* what, const std::vector<Load>& loads) {
    if (loads.empty())
        return;
    const std::vector<double> times = Collect(loads, [](const Load& l) { return l.rowsMs; });
    const auto [low, high] = std::minmax_element(times.begin(), times.end());
    std::printf("| %s | %zu | %s | %zu | %.0f | %.0f..%.0f | %.0f |", image.name.c_str(), image.rows.size(), what,
                loads.size(), Median(times), *low, *high,
                Median(Collect(loads, [](const Load& l) { return l.paintedMs; })));
    std::vector<Memory> memory;
    for (const Load& l : loads)
        memory.push_back(l.memory);
    PrintMemoryCells(memory);
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void PrintRound(int number, const Round& r) {
    std::printf("  round %d: empty list %.1f MiB; first load %.0f ms (painted %.0f ms), %.1f MiB", number,
                r.started.workingSet, r.first.rowsMs, r.first.paintedMs, r.first.memory.workingSet);
    for (const Load& l : r.replacing)
        std::printf("; replacing %.0f ms (%.0f), %.1f MiB", l.rowsMs, l.paintedMs, l.memory.workingSet);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 5;
    int drops = 2;
    std::vector<Image> images;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--rounds" || arg == "--drops") && i + 1 < argc) {
            (arg == "--rounds" ? rounds : drops) = std::max(1, std::atoi(argv[++i]));
            continue;
        }
        Image image;
        image.path = !arg.empty() && arg[0] == '/' ? e2e::WindowsPath(arg) : arg;
        image.name = BaseName(arg);
        images.push_back(std::move(image));
    }
    if (images.empty()) {
        std::fputs("usage: gui-load-bench [--rounds N] [--drops M] IMAGE...\n", stderr);
        return 2;
    }

    struct Result {
        std::vector<Memory> started;
        std::vector<Load> first;
        std::vector<Load> replacing;
    };
    std::vector<Result> results;
    for (Image& image : images) {
        if (!e2e::ListExports(image.path, &image.rows)) {
            std::fprintf(stderr, "gui-load-bench: the lister failed on %s\n", image.path.c_str());
            return 1;
        }
        std::printf("%s: %zu named exports; %d rounds of %d drops\n", image.name.c_str(), image.rows.size(), rounds,
                    drops);
        std::fflush(stdout);
        Result result;
        for (int n = 1; n <= rounds; ++n) {
            Round round;
            if (!RunRound(image, drops, &round))
                return 1;
            PrintRound(n, round);
            std::fflush(stdout);
            result.started.push_back(round.started);
            result.first.push_back(round.first);
            result.replacing.insert(result.replacing.end(), round.replacing.begin(), round.replacing.end());
        }
        results.push_back(std::move(result));
    }

    std::printf("\nMedians; times in ms from just before the drag starts, memory in MiB right after the load "
                "(Wine: working set = VmRSS, pagefile = RssAnon + VmSwap, peak = VmHWM; private is not reported).\n\n");
    std::printf("| image | rows | load | loads | drop to last row ms | min..max | drop to painted ms | working set "
                "| pagefile | peak working set | private |\n");
    std::printf("|---|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (std::size_t i = 0; i < images.size(); ++i) {
        std::printf("| %s | %zu | none: window shown | %zu | | | |", images[i].name.c_str(), images[i].rows.size(),
                    results[i].started.size());
        PrintMemoryCells(results[i].started);
        PrintLoadRow(images[i], "first", results[i].first);
        PrintLoadRow(images[i], "replacing", results[i].replacing);
    }
    return 0;
}
