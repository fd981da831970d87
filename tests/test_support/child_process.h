// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a program as a child process with pipes on its standard input, output
// and error, for tests that drive a binary line by line.
//
//   ChildProcess child;
//   child.start(path, {"-help"});          // fork/exec; false when it cannot start
//   child.writeLine("uci");                // sends "uci\n"
//   child.readLine(line, 2000);            // next output line, waiting at most 2 s
//   child.closeInput();                    // end of input for the child
//   child.waitExit(2000);                  // exit status, or -1 on time-out
//
// The destructor kills a child that is still running.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tarvok::test {

class ChildProcess {
   public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // Starts path with the arguments (argv[0] is path); workDir, when not
    // empty, becomes the child's working directory.
    bool start(const std::string& path, const std::vector<std::string>& args, const std::string& workDir = "");

    // Writes text (writeLine adds the newline); false once input is closed or
    // the child has stopped reading.
    bool write(const std::string& text);
    bool writeLine(const std::string& line) { return write(line + "\n"); }
    void closeInput();

    // The next line of standard output without its newline. False on time-out
    // or at the end of the output (a final piece without newline is returned
    // as a line first).
    bool readLine(std::string& line, int timeoutMs);
    // Every remaining output line until the child closes its output or the
    // time runs out.
    std::vector<std::string> readAllLines(int timeoutMs);

    // Waits for the child to end: its exit status, 128 + signal when killed
    // by a signal, or -1 when it is still running after timeoutMs.
    int waitExit(int timeoutMs);
    bool hasExited() { return waitExit(0) != -1; }

    pid_t pid() const { return pid_; }

    // Whatever the child has written to standard error so far.
    std::string errorOutput();

   private:
    bool fillOutput(int timeoutMs);  // false on time-out or end of output

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
