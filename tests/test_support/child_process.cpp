// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace tarvok::test {

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

namespace {

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
    ::signal(SIGPIPE, SIG_IGN);  // writing to a child that has exited must fail, not kill the test
    int fds[3][2] = {{-1, -1}, {-1, -1}, {-1, -1}};  // input, output, error
    bool piped = true;
    for (auto& pair : fds) piped = piped && ::pipe(pair) == 0;
    std::vector<char*> argv = {const_cast<char*>(path.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = piped ? ::fork() : -1;
    if (pid == 0) {
        for (int stream = 0; stream < 3; ++stream) ::dup2(fds[stream][stream == 0 ? 0 : 1], stream);
        for (auto& pair : fds) ::close(pair[0]), ::close(pair[1]);
        if (!workDir.empty() && ::chdir(workDir.c_str()) != 0) ::_exit(127);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    closeFd(fds[0][0]);
    closeFd(fds[1][1]);
    closeFd(fds[2][1]);
    inputFd_ = fds[0][1];
    outputFd_ = fds[1][0];
    errorFd_ = fds[2][0];
    if (pid < 0) {
        closeFd(inputFd_);
        closeFd(outputFd_);
        closeFd(errorFd_);
        return false;
    }
    pid_ = pid;
    ::fcntl(errorFd_, F_SETFL, ::fcntl(errorFd_, F_GETFL) | O_NONBLOCK);
    return true;
}

bool ChildProcess::write(const std::string& text) {
    for (size_t done = 0; inputFd_ >= 0 && done < text.size();) {
        const ssize_t wrote = ::write(inputFd_, text.data() + done, text.size() - done);
        if (wrote < 0 && errno != EINTR) return false;
        done += wrote > 0 ? static_cast<size_t>(wrote) : 0;
    }
    return inputFd_ >= 0;
}

void ChildProcess::closeInput() { closeFd(inputFd_); }

bool ChildProcess::readLine(std::string& line, int timeoutMs) {
    const int64_t deadline = nowMs() + timeoutMs;
    for (;;) {
        const size_t newline = pendingOutput_.find('\n');
        if (newline != std::string::npos || (outputEnded_ && !pendingOutput_.empty())) {
            line = pendingOutput_.substr(0, newline);
            pendingOutput_.erase(0, newline == std::string::npos ? newline : newline + 1);
            return true;
        }
        const int64_t left = deadline - nowMs();
        if (outputEnded_ || outputFd_ < 0 || left < 0) return false;
        pollfd request{outputFd_, POLLIN, 0};
        const int ready = ::poll(&request, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char chunk[4096];
        const ssize_t got = ::read(outputFd_, chunk, sizeof chunk);
        if (got > 0) pendingOutput_.append(chunk, static_cast<size_t>(got));
        outputEnded_ = got == 0 || (got < 0 && errno != EINTR);
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
    const int64_t deadline = nowMs() + timeoutMs;
    while (exitStatus_ == -1 && pid_ > 0) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if ((done < 0 && errno != EINTR) || (done == 0 && nowMs() >= deadline)) return -1;
        if (done == 0) ::usleep(2000);
    }
    return exitStatus_;
}

std::string ChildProcess::errorOutput() {
    char chunk[4096];
    for (ssize_t got = 1; got > 0 || (got < 0 && errno == EINTR);) {
        got = errorFd_ >= 0 ? ::read(errorFd_, chunk, sizeof chunk) : 0;
        if (got > 0) errorText_.append(chunk, static_cast<size_t>(got));
    }
    return errorText_;
}

}  // namespace tarvok::test
