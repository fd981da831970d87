// SPDX-License-Identifier: GPL-3.0-or-later
// Drives tarvok.exe through anonymous pipes, started the way Windows GUIs
// start engines (CreatePipe, CreateProcess with redirected standard handles,
// no console window), and follows a session script:
//   > text        send the line
//   flood n text  send the text n times, "\n" in it ending a line
//   close         close the engine's input (the end of input)
//   < prefix      a line starting with prefix must arrive within 10 s
//   @ms prefix    such a line must arrive within ms of the last line sent
//   count n prefix  n lines starting with prefix must arrive within 60 s
//   sleep ms      wait
//   exit [ms]     the engine must end within ms (default 10 s) of the last
//                 line sent
//   start         start the engine again (the last one must have ended)
// Lines starting with # are comments. Usage: pipe_session ENGINE SCRIPT.
// Exit status 0 when the whole script held.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <fstream>
#include <memory>
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

// Waits until deadline for count lines starting with prefix, dropping the
// lines between them (and echoing them when echo is set); false when fewer came.
bool awaitLines(Output& output, const std::string& prefix, Clock::time_point deadline, long count = 1,
                bool echo = true) {
    std::unique_lock<std::mutex> hold(output.lock);
    for (;;) {
        while (!output.lines.empty()) {
            const std::string line = output.lines.front();
            output.lines.pop_front();
            if (echo) std::printf("  engine: %s\n", line.c_str());
            if (line.compare(0, prefix.size(), prefix) == 0 && --count == 0) return true;
        }
        if (output.ended) return false;
        if (output.arrived.wait_until(hold, deadline) == std::cv_status::timeout && output.lines.empty()) return false;
    }
}

// An engine started as GUIs start it: standard input and output are
// anonymous pipes, no console window.
struct Engine {
    HANDLE toChild = nullptr;
    HANDLE fromChild = nullptr;
    PROCESS_INFORMATION process{};
    Output output;
    std::thread reader;

    bool start(const char* path) {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE childIn = nullptr, childOut = nullptr;
        if (!CreatePipe(&childIn, &toChild, &inherit, 0)) return false;
        if (!CreatePipe(&fromChild, &childOut, &inherit, 0)) return false;
        SetHandleInformation(toChild, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(fromChild, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childIn;
        startup.hStdOutput = childOut;
        startup.hStdError = childOut;
        std::string command = std::string("\"") + path + "\"";
        const bool started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                            nullptr, &startup, &process);
        CloseHandle(childIn);
        CloseHandle(childOut);
        if (started) reader = std::thread(readLines, fromChild, std::ref(output));
        return started;
    }

    bool send(const std::string& text) {
        DWORD written = 0;
        return WriteFile(toChild, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
               written == text.size();
    }

    void closeInput() {
        if (toChild != nullptr) CloseHandle(toChild);
        toChild = nullptr;
    }

    ~Engine() {
        closeInput();
        if (process.hProcess != nullptr) {
            if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        if (reader.joinable()) reader.join();
        if (fromChild != nullptr) CloseHandle(fromChild);
    }
};

long long millisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
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
    auto engine = std::make_unique<Engine>();
    if (!engine->start(argv[1])) {
        std::fprintf(stderr, "cannot start %s\n", argv[1]);
        return 2;
    }

    int status = 0;
    Clock::time_point lastSent = Clock::now();
    std::string line;
    for (int number = 1; status == 0 && std::getline(script, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::size_t blank = line.find(' ');
        const std::string word = line.substr(0, blank);
        const std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
        bool ok = true;
        if (word == ">") {
            lastSent = Clock::now();
            ok = engine->send(rest + "\n");
        } else if (word == "flood") {
            // One write of the whole flood, as a GUI pasting a long script would.
            const std::size_t second = rest.find(' ');
            const long times = std::stol(rest.substr(0, second));
            std::string once = rest.substr(second + 1) + "\n";
            for (std::size_t at; (at = once.find("\\n")) != std::string::npos;) once.replace(at, 2, "\n");
            std::string text;
            for (long i = 0; i < times; ++i) text += once;
            lastSent = Clock::now();
            ok = engine->send(text);
        } else if (word == "close") {
            lastSent = Clock::now();
            engine->closeInput();
        } else if (word == "<") {
            ok = awaitLines(engine->output, rest, Clock::now() + std::chrono::seconds(10));
        } else if (word[0] == '@') {
            const long limit = std::stol(word.substr(1));
            ok = awaitLines(engine->output, rest, lastSent + std::chrono::seconds(10));
            const long long took = millisecondsSince(lastSent);
            std::printf("answered in %lld ms (limit %ld)\n", took, limit);
            ok = ok && took <= limit;
        } else if (word == "count") {
            const std::size_t second = rest.find(' ');
            const long times = std::stol(rest.substr(0, second));
            ok = awaitLines(engine->output, rest.substr(second + 1), Clock::now() + std::chrono::seconds(60), times,
                            false);
            std::printf("%s %ld lines starting with %s\n", ok ? "received" : "missing some of", times,
                        rest.substr(second + 1).c_str());
        } else if (word == "sleep") {
            Sleep(static_cast<DWORD>(std::stoul(rest)));
        } else if (word == "exit") {
            const long limit = rest.empty() ? 10000 : std::stol(rest);
            const DWORD left = static_cast<DWORD>(std::max<long long>(0, limit - millisecondsSince(lastSent)));
            ok = WaitForSingleObject(engine->process.hProcess, left) == WAIT_OBJECT_0;
            if (!rest.empty()) std::printf("ended in %lld ms (limit %ld)\n", millisecondsSince(lastSent), limit);
        } else if (word == "start") {
            ok = WaitForSingleObject(engine->process.hProcess, 0) == WAIT_OBJECT_0;
            engine = std::make_unique<Engine>();
            ok = engine->start(argv[1]) && ok;
        } else {
            ok = false;
        }
        if (!ok) {
            std::printf("FAILED at %s:%d: %s\n", argv[2], number, line.c_str());
            status = 1;
        }
    }
    engine.reset();
    std::printf("%s: %s\n", argv[2], status == 0 ? "passed" : "failed");
    return status;
}
