// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <chrono>

namespace tarvok::test {

namespace {

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

ChildProcess::~ChildProcess() {
    closeInput();
    if (pid_ > 0 && waitExit(0) == -1) {
        ::kill(pid_, SIGKILL);
        waitExit(5000);
    }
    closeFd(outputFd_);
    closeFd(errorFd_);
}

bool ChildProcess::start(const std::string& path, const std::vector<std::string>& args, const std::string& workDir) {
    if (pid_ > 0) return false;
    // Writing to a child that has already exited must fail, not kill the test.
    ::signal(SIGPIPE, SIG_IGN);
    int input[2], output[2], error[2];
    if (::pipe(input) != 0) return false;
    if (::pipe(output) != 0) {
        ::close(input[0]), ::close(input[1]);
        return false;
    }
    if (::pipe(error) != 0) {
        ::close(input[0]), ::close(input[1]), ::close(output[0]), ::close(output[1]);
        return false;
    }
    // Everything the child needs is prepared before the fork.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    pid_t pid = ::fork();
    if (pid < 0) {
        for (int fd : {input[0], input[1], output[0], output[1], error[0], error[1]}) ::close(fd);
        return false;
    }
    if (pid == 0) {
        ::dup2(input[0], 0);
        ::dup2(output[1], 1);
        ::dup2(error[1], 2);
        for (int fd : {input[0], input[1], output[0], output[1], error[0], error[1]}) ::close(fd);
        if (!workDir.empty() && ::chdir(workDir.c_str()) != 0) ::_exit(127);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(input[0]);
    ::close(output[1]);
    ::close(error[1]);
    pid_ = pid;
    inputFd_ = input[1];
    outputFd_ = output[0];
    errorFd_ = error[0];
    ::fcntl(errorFd_, F_SETFL, ::fcntl(errorFd_, F_GETFL) | O_NONBLOCK);
    outputEnded_ = false;
    exitStatus_ = -1;
    pendingOutput_.clear();
    errorText_.clear();
    return true;
}

bool ChildProcess::write(const std::string& text) {
    size_t done = 0;
    while (inputFd_ >= 0 && done < text.size()) {
        ssize_t wrote = ::write(inputFd_, text.data() + done, text.size() - done);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return inputFd_ >= 0;
}

void ChildProcess::closeInput() { closeFd(inputFd_); }

bool ChildProcess::fillOutput(int timeoutMs) {
    if (outputEnded_ || outputFd_ < 0) return false;
    pollfd request{outputFd_, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&request, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) return false;
    char chunk[4096];
    ssize_t got;
    do {
        got = ::read(outputFd_, chunk, sizeof chunk);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        outputEnded_ = true;
        return false;
    }
    pendingOutput_.append(chunk, static_cast<size_t>(got));
    return true;
}

bool ChildProcess::readLine(std::string& line, int timeoutMs) {
    const int64_t deadline = nowMs() + timeoutMs;
    for (;;) {
        const size_t newline = pendingOutput_.find('\n');
        if (newline != std::string::npos) {
            line = pendingOutput_.substr(0, newline);
            pendingOutput_.erase(0, newline + 1);
            return true;
        }
        const int64_t left = deadline - nowMs();
        if (left < 0 || !fillOutput(static_cast<int>(left))) {
            if (outputEnded_ && !pendingOutput_.empty()) {
                line = pendingOutput_;
                pendingOutput_.clear();
                return true;
            }
            return false;
        }
    }
}

std::vector<std::string> ChildProcess::readAllLines(int timeoutMs) {
    const int64_t deadline = nowMs() + timeoutMs;
    std::vector<std::string> lines;
    std::string line;
    while (readLine(line, static_cast<int>(std::max<int64_t>(0, deadline - nowMs())))) lines.push_back(line);
    return lines;
}

int ChildProcess::waitExit(int timeoutMs) {
    if (exitStatus_ != -1 || pid_ <= 0) return exitStatus_;
    const int64_t deadline = nowMs() + timeoutMs;
    for (;;) {
        int status = 0;
        pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return exitStatus_;
        }
        if (done < 0 && errno != EINTR) return -1;
        if (nowMs() >= deadline) return -1;
        ::usleep(2000);
    }
}

std::string ChildProcess::errorOutput() {
    char chunk[4096];
    for (;;) {
        ssize_t got = errorFd_ >= 0 ? ::read(errorFd_, chunk, sizeof chunk) : 0;
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        errorText_.append(chunk, static_cast<size_t>(got));
    }
    return errorText_;
}

}  // namespace tarvok::test
