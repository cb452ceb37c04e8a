// bench_rounds: runs a few commands in interleaved rounds, output to /dev/null, and prints one Markdown
// table row per command: median wall time, median CPU time, peak RSS and the ratio to the fastest peer.
//
//   bench_rounds ROUNDS INPUT ::: LABEL COMMAND [ARG...] ::: LABEL COMMAND [ARG...] ...
//
// The first command is the subject, the others its peers. Linked statically and kept small: a child's
// peak RSS as the kernel reports it is never below the RSS of the process that started it.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Command {
    std::string label;
    std::vector<char*> argv;  // null-terminated
    std::vector<double> wall, cpu;
    long peakKiB = 0;
    bool failed = false;
};

double Seconds(const timespec& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9; }
double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// One run with stdout and stderr on /dev/null; false when it could not start or did not exit 0.
bool RunOnce(Command& c) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    timespec start{}, end{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, c.argv[0], &actions, nullptr, c.argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return false;
    clock_gettime(CLOCK_MONOTONIC, &end);
    c.wall.push_back(Seconds(end) - Seconds(start));
    c.cpu.push_back(Seconds(usage.ru_utime) + Seconds(usage.ru_stime));
    c.peakKiB = std::max(c.peakKiB, usage.ru_maxrss);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5 || std::strcmp(argv[3], ":::") != 0) {
        std::fputs("usage: bench_rounds ROUNDS INPUT ::: LABEL COMMAND [ARG...] ::: ...\n", stderr);
        return 2;
    }
    const int rounds = std::atoi(argv[1]);
    const char* input = argv[2];
    std::vector<Command> commands;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], ":::") == 0) {
            commands.emplace_back();
            if (i + 2 >= argc) {
                std::fputs("bench_rounds: each ::: needs a label and a command\n", stderr);
                return 2;
            }
            commands.back().label = argv[++i];
            continue;
        }
        commands.back().argv.push_back(argv[i]);
    }
    for (auto& c : commands)
        c.argv.push_back(nullptr);

    // Each round runs every command once, starting one further along each time.
    const std::size_t n = commands.size();
    for (int r = 0; r < rounds; ++r) {
        for (std::size_t j = 0; j < n; ++j) {
            Command& c = commands[(static_cast<std::size_t>(r) + j) % n];
            if (!RunOnce(c))
                c.failed = true;
        }
    }

    double fastestPeer = 0;
    for (std::size_t j = 1; j < n; ++j) {
        if (!commands[j].wall.empty() && (fastestPeer == 0 || Median(commands[j].wall) < fastestPeer))
            fastestPeer = Median(commands[j].wall);
    }
    for (const auto& c : commands) {
        if (c.wall.empty()) {
            std::printf("| %s | %s | did not run | | | |\n", input, c.label.c_str());
            continue;
        }
        const double wall = Median(c.wall);
        std::printf("| %s | %s%s | %.4f | %.4f | %.1f | %.2f× |\n", input, c.label.c_str(),
                    c.failed ? " (exit status not 0)" : "", wall, Median(c.cpu),
                    static_cast<double>(c.peakKiB) / 1024.0, fastestPeer > 0 ? wall / fastestPeer : 0.0);
    }
    return 0;
}
