// The one way the tests start a program of the project (the viewer above
// all) as a user would: in a folder of its own, with the environment of the
// tests minus every ORBEX_* variable plus the ones the test names, its output
// in files, and a deadline after which it is killed. Used by the end-to-end
// suites and, through orbex_launch, by the window test's script.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace orbex::test {

struct ProgramRun {
    // The viewer binary unless a test names another program.
    std::string program;
    // Arguments after the program's name; the viewer reads its letters here.
    std::vector<std::string> arguments;
    // NAME=VALUE, on top of the tests' environment without its ORBEX_*
    // variables; a later entry replaces an earlier one of the same name.
    std::vector<std::string> environment;
    // Working folder; the current one when empty.
    std::filesystem::path folder;
    // Files in the folder (or absolute) for the output; empty keeps the tests' own.
    std::string stdoutFile = "stdout.txt";
    std::string stderrFile = "stderr.txt";
    std::chrono::milliseconds deadline{60000};
};

struct RunResult {
    bool bStarted = false;
    bool bExited = false;   // ended by itself with an exit status
    int nStatus = -1;       // that status
    int nSignal = 0;        // or the signal that ended it
    bool bTimedOut = false; // killed at the deadline
    long nMaxRssKiB = 0;    // its peak resident memory

    // The exit status, or -1 when it did not end by itself.
    int status() const { return bExited ? nStatus : -1; }
};

// The viewer binary of this build.
std::string viewerBinary();

// The environment a started program gets: this process's own without any
// ORBEX_* variable, then the given NAME=VALUE entries, each replacing an
// earlier one of the same name.
std::vector<std::string> cleanEnvironment(const std::vector<std::string> &extra);

class RunningProgram {
  public:
    explicit RunningProgram(const ProgramRun &run);
    // A program still running is killed: a failed test leaves nothing behind.
    ~RunningProgram();
    RunningProgram(const RunningProgram &) = delete;
    RunningProgram &operator=(const RunningProgram &) = delete;

    pid_t pid() const { return processId; }
    bool running();
    // Until it ends, or until the deadline, when it is killed.
    RunResult wait();
    // Ends it at once and collects it.
    RunResult kill();

  private:
    void collect(int waitStatus, const rusage &usage);

    pid_t processId = -1;
    std::chrono::steady_clock::time_point deadline;
    RunResult result;
};

// Starts the program and waits for its end (or its deadline).
RunResult runProgram(const ProgramRun &run);

} // namespace orbex::test
