// The runner run as a program of its own, for what only a real process
// shows: signals, the environment, standard output, being killed.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/cli/cli_test_support.h"

extern char** environ;

namespace nyajkor::batch::test {

// What the program did: its exit status (128 + the signal that ended it,
// as a shell reports it) and its standard error.
struct Finished {
    int status;
    std::string err;
};

// An environment variable set to a value, or unset.
using Environment = std::map<std::string, std::optional<std::string>>;

class Program {
public:
    // Starts the runner in `folder` with `args`; standard output goes to
    // `outFd` (-1: a file beside the folder), standard error to a file.
    Program(const fs::path& folder, const std::vector<std::string>& args, const Environment& env = {},
            int outFd = -1)
        : errPath_(folder.string() + ".err"), outPath_(folder.string() + ".out") {
        std::vector<std::string> argText = {NYAJKOR_BATCH_PROGRAM};
        argText.insert(argText.end(), args.begin(), args.end());
        std::vector<std::string> envText;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (!env.count(entry.substr(0, entry.find('=')))) envText.push_back(entry);
        }
        for (const auto& [name, value] : env)
            if (value) envText.push_back(name + "=" + *value);
        // everything prepared before the fork: the child only makes system calls
        std::vector<char*> argv, envp;
        for (auto& a : argText) argv.push_back(a.data());
        for (auto& e : envText) envp.push_back(e.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        const int err = ::open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int out = outFd >= 0 ? outFd
                                   : ::open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const std::string dir = folder.string();
        pid_ = ::fork();
        if (pid_ == 0) {
            for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) ::signal(s, SIG_DFL);
            if (::chdir(dir.c_str()) != 0 || ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0)
                ::_exit(127);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(err);
        if (outFd < 0) ::close(out);
    }
    ~Program() {
        if (pid_ > 0 && !done_) {
            ::kill(pid_, SIGKILL);
            wait();
        }
        std::error_code ignored;
        fs::remove(errPath_, ignored);
        fs::remove(outPath_, ignored);
    }
    void signal(int s) const { ::kill(pid_, s); }
    bool ended() {
        if (!done_ && ::waitpid(pid_, &raw_, WNOHANG) == pid_) done_ = true;
        return done_;
    }
    Finished wait() {
        if (!done_) ::waitpid(pid_, &raw_, 0);
        done_ = true;
        const int status = WIFEXITED(raw_) ? WEXITSTATUS(raw_) : 128 + WTERMSIG(raw_);
        return {status, slurp(errPath_)};
    }

private:
    std::string errPath_, outPath_;
    pid_t pid_ = -1;
    int raw_ = 0;
    bool done_ = false;
};

inline Finished runProgram(const fs::path& folder, const std::vector<std::string>& args, const Environment& env = {}) {
    return Program(folder, args, env).wait();
}

}  // namespace nyajkor::batch::test
