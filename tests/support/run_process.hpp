// Runs a program with arguments (no shell), capturing stdout, stderr and the
// exit status. For end-to-end tests of the command-line front end.
#pragma once

#include <array>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace vibrolan::test {

struct ProcessResult {
    int status = -1; // exit code, or 128 + signal
    std::string out;
    std::string err;
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

inline ProcessResult runProcess(const std::string &program, const std::vector<std::string> &args)
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
        waitpid(pid, &st, 0);
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
