#pragma once
#include <map>
#include <string>
#include <vector>

namespace kx::test {

struct ProcessResult {
    int exitCode = -1;  // -1 when the process did not end normally
    std::string out;
    std::string err;
};

// Runs a program to its end and collects its output. environment entries are added to (or
// replace those of) the test's own environment.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::map<std::string, std::string>& environment = {});

// The lines of a program's output, each without its newline (a last unfinished line is left out).
std::vector<std::string> OutputLines(const std::string& text);

}  // namespace kx::test

namespace kx::test {

// A program started in the background; killed and reaped when the object goes away.
class ChildProcess {
  public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    bool Running();
    // Waits up to timeoutMs for the end; the exit code, or -1 (still running or killed).
    int Wait(int timeoutMs);
    void Terminate();

  private:
    int pid_ = -1;
    int exitCode_ = -1;
    bool reaped_ = false;
};

}  // namespace kx::test
