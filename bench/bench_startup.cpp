// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up cost of the engine: runs the tarvok binary, sends "uci", waits for
// "uciok", sends "quit", and reports the child's CPU time (user + system,
// from wait4) and the wall time to "uciok"; medians of several runs. The
// CPU figure covers the whole short life of the process, so it bounds the
// cost of reaching "uciok" from above.
//
//   bench_startup [runs]           default 21
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct StartupRun {
    double cpuMilliseconds;
    double wallMilliseconds;
    bool sawUciok;
};

StartupRun runOnce(const char* binary) {
    int toChild[2], fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) std::exit(1);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(toChild[0], 0);
        dup2(fromChild[1], 1);
        close(toChild[1]);
        close(fromChild[0]);
        execl(binary, binary, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    if (write(toChild[1], "uci\n", 4) != 4) std::exit(1);
    std::string output;
    char buffer[4096];
    StartupRun run{0, 0, false};
    while (!run.sawUciok) {
        const ssize_t got = read(fromChild[0], buffer, sizeof buffer);
        if (got <= 0) break;
        output.append(buffer, static_cast<size_t>(got));
        run.sawUciok = output.find("uciok\n") != std::string::npos;
    }
    run.wallMilliseconds = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (write(toChild[1], "quit\n", 5) != 5) std::exit(1);
    close(toChild[1]);
    while (read(fromChild[0], buffer, sizeof buffer) > 0) {
    }
    close(fromChild[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.cpuMilliseconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    std::vector<double> cpu, wall;
    for (int i = 0; i < runs; ++i) {
        const StartupRun run = runOnce(TARVOK_BINARY);
        if (!run.sawUciok) {
            std::printf("no uciok from %s\n", TARVOK_BINARY);
            return 1;
        }
        cpu.push_back(run.cpuMilliseconds);
        wall.push_back(run.wallMilliseconds);
    }
    std::printf("runs %d (uci, default 32 MB hash)\n", runs);
    std::printf("cpu until exit, median %.1f ms, max %.1f ms\n", median(cpu), *std::max_element(cpu.begin(), cpu.end()));
    std::printf("wall until uciok, median %.1f ms\n", median(wall));
    return 0;
}
