#include "support/RunProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

extern char** environ;

namespace kx::test {
namespace {

// name=value strings of the test's environment with the given entries added or replaced.
std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& environment) {
    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (equals) merged[std::string(static_cast<const char*>(*entry), equals)] = equals + 1;
    }
    for (const auto& [name, value] : environment) merged[name] = value;
    std::vector<std::string> strings;
    for (const auto& [name, value] : merged) strings.push_back(name + "=" + value);
    return strings;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (auto& text : strings) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::map<std::string, std::string>& environment) {
    ProcessResult result;
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) return result;
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return result;
    }

    std::vector<std::string> argvStrings{program};
    argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv = Pointers(argvStrings);
    std::vector<std::string> envStrings = MergedEnvironment(environment);
    std::vector<char*> envp = Pointers(envStrings);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    pid_t pid = -1;
    int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (spawned != 0) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return result;
    }

    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buffer[4096];
            ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    return result;
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::map<std::string, std::string>& environment) {
    std::vector<std::string> argvStrings{program};
    argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv = Pointers(argvStrings);
    std::vector<std::string> envStrings = MergedEnvironment(environment);
    std::vector<char*> envp = Pointers(envStrings);
    pid_t pid = -1;
    if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) == 0)
        pid_ = pid;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !reaped_) {
        Terminate();
        if (Wait(5000) == -1 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
}

bool ChildProcess::Running() {
    if (pid_ <= 0 || reaped_) return false;
    int status = 0;
    pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == 0) return true;
    reaped_ = true;
    if (done == pid_ && WIFEXITED(status)) exitCode_ = WEXITSTATUS(status);
    return false;
}

int ChildProcess::Wait(int timeoutMs) {
    for (int waited = 0; Running(); waited += 10) {
        if (waited >= timeoutMs) return -1;
        ::usleep(10 * 1000);
    }
    return exitCode_;
}

void ChildProcess::Terminate() {
    if (pid_ > 0 && !reaped_) ::kill(pid_, SIGTERM);
}

std::vector<std::string> OutputLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

}  // namespace kx::test
