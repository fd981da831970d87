// SPDX-License-Identifier: GPL-3.0-or-later
// A program run as a child process with pipes on its standard input, output
// and error, for tests that drive a binary line by line. The destructor kills
// a child that is still running.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tarvok::test {

// Milliseconds on a monotonic clock, for time-outs.
int64_t nowMs();

class ChildProcess {
   public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // Starts path with the arguments in workDir (when not empty); false when
    // it cannot start.
    bool start(const std::string& path, const std::vector<std::string>& args, const std::string& workDir = "");
    // False once input is closed or the child has stopped reading.
    bool write(const std::string& text);
    bool writeLine(const std::string& line) { return write(line + "\n"); }
    void closeInput();
    // The next output line without its newline (a final piece without one
    // counts); false on time-out or at the end of output.
    bool readLine(std::string& line, int timeoutMs);
    std::vector<std::string> readAllLines(int timeoutMs);  // until the end of output
    // The exit status, 128 + signal when killed, -1 while still running.
    int waitExit(int timeoutMs);
    pid_t pid() const { return pid_; }
    std::string errorOutput();  // standard error so far

   private:
    pid_t pid_ = -1;
    int inputFd_ = -1;
    int outputFd_ = -1;
    int errorFd_ = -1;
    bool outputEnded_ = false;
    int exitStatus_ = -1;
    std::string pendingOutput_;
    std::string errorText_;
};

}  // namespace tarvok::test
