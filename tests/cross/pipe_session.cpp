// SPDX-License-Identifier: GPL-3.0-or-later
// Drives tarvok.exe through anonymous pipes, started the way Windows GUIs
// start engines (CreatePipe, CreateProcess with redirected standard handles,
// no console window), and follows a session script:
//   > text        send the line
//   < prefix      a line starting with prefix must arrive within 10 s
//   @ms prefix    such a line must arrive within ms of the last line sent
//   sleep ms      wait
//   exit          the engine must end within 10 s
// Lines starting with # are comments. Usage: pipe_session ENGINE SCRIPT.
// Exit status 0 when the whole script held.
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct Output {
    std::mutex lock;
    std::condition_variable arrived;
    std::deque<std::string> lines;
    bool ended = false;
};

void readLines(HANDLE pipe, Output& output) {
    std::string line;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(pipe, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        std::lock_guard<std::mutex> hold(output.lock);
        for (DWORD i = 0; i < got; ++i) {
            if (chunk[i] == '\n') {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                output.lines.push_back(line);
                line.clear();
            } else {
                line += chunk[i];
            }
        }
        output.arrived.notify_all();
    }
    std::lock_guard<std::mutex> hold(output.lock);
    output.ended = true;
    output.arrived.notify_all();
}

// Waits until deadline for a line starting with prefix, dropping the lines
// before it; false when none came.
bool awaitLine(Output& output, const std::string& prefix, Clock::time_point deadline) {
    std::unique_lock<std::mutex> hold(output.lock);
    for (;;) {
        while (!output.lines.empty()) {
            const std::string line = output.lines.front();
            output.lines.pop_front();
            std::printf("  engine: %s\n", line.c_str());
            if (line.compare(0, prefix.size(), prefix) == 0) return true;
        }
        if (output.ended) return false;
        if (output.arrived.wait_until(hold, deadline) == std::cv_status::timeout && output.lines.empty()) return false;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pipe_session ENGINE SCRIPT\n");
        return 2;
    }
    std::ifstream script(argv[2]);
    if (!script) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 2;
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childIn = nullptr, toChild = nullptr, fromChild = nullptr, childOut = nullptr;
    if (!CreatePipe(&childIn, &toChild, &inherit, 0) || !CreatePipe(&fromChild, &childOut, &inherit, 0)) return 2;
    SetHandleInformation(toChild, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(fromChild, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = childOut;
    PROCESS_INFORMATION process{};
    std::string command = std::string("\"") + argv[1] + "\"";
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "cannot start %s\n", argv[1]);
        return 2;
    }
    CloseHandle(childIn);
    CloseHandle(childOut);
    Output output;
    std::thread reader(readLines, fromChild, std::ref(output));

    int status = 0;
    Clock::time_point lastSent = Clock::now();
    std::string line;
    for (int number = 1; status == 0 && std::getline(script, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        bool ok = true;
        if (line.rfind("> ", 0) == 0) {
            const std::string text = line.substr(2) + "\n";
            DWORD written = 0;
            lastSent = Clock::now();
            ok = WriteFile(toChild, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                 written == text.size();
        } else if (line.rfind("< ", 0) == 0) {
            ok = awaitLine(output, line.substr(2), Clock::now() + std::chrono::seconds(10));
        } else if (line[0] == '@') {
            const std::size_t blank = line.find(' ');
            const long limit = std::stol(line.substr(1, blank - 1));
            ok = awaitLine(output, line.substr(blank + 1), lastSent + std::chrono::seconds(10));
            const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastSent).count();
            std::printf("answered in %lld ms (limit %ld)\n", static_cast<long long>(took), limit);
            ok = ok && took <= limit;
        } else if (line.rfind("sleep ", 0) == 0) {
            Sleep(static_cast<DWORD>(std::stoul(line.substr(6))));
        } else if (line == "exit") {
            ok = WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0;
        } else {
            ok = false;
        }
        if (!ok) {
            std::printf("FAILED at %s:%d: %s\n", argv[2], number, line.c_str());
            status = 1;
        }
    }
    CloseHandle(toChild);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    reader.join();
    CloseHandle(fromChild);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    std::printf("%s: %s\n", argv[2], status == 0 ? "passed" : "failed");
    return status;
}
