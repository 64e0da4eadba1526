// Runs a program with arguments (no shell), capturing stdout, stderr and the
// exit status. For end-to-end tests of the command-line front end.
#pragma once

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace vibrolan::test {

struct ProcessResult {
    int status = -1; // exit code, or 128 + signal
    std::string out;
    std::string err;
    bool timedOut = false;
};

inline std::string slurpFile(const std::string &path)
{
    std::string data;
    if (FILE *f = std::fopen(path.c_str(), "rb")) {
        std::array<char, 65536> buf{};
        std::size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0)
            data.append(buf.data(), n);
        std::fclose(f);
    }
    return data;
}

// With a time limit (seconds, 0 for none) a program still running at the
// limit is killed: status 128 + SIGKILL and timedOut, so a hang fails the test
// instead of blocking the suite.
inline ProcessResult runProcess(const std::string &program, const std::vector<std::string> &args,
                                int timeLimitSeconds = 0)
{
    char outName[] = "/tmp/vibrolan-out-XXXXXX";
    char errName[] = "/tmp/vibrolan-err-XXXXXX";
    int outFd = mkstemp(outName);
    int errFd = mkstemp(errName);
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (auto &a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, outFd, 1);
    posix_spawn_file_actions_adddup2(&fa, errFd, 2);
    ProcessResult r;
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), environ) == 0) {
        int st = 0;
        if (timeLimitSeconds > 0) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeLimitSeconds);
            while (waitpid(pid, &st, WNOHANG) == 0) {
                if (std::chrono::steady_clock::now() >= deadline) {
                    kill(pid, SIGKILL);
                    waitpid(pid, &st, 0);
                    r.timedOut = true;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        } else {
            waitpid(pid, &st, 0);
        }
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    }
    posix_spawn_file_actions_destroy(&fa);
    close(outFd);
    close(errFd);
    r.out = slurpFile(outName);
    r.err = slurpFile(errName);
    unlink(outName);
    unlink(errName);
    return r;
}

} // namespace vibrolan::test
