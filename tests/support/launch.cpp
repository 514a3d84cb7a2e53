// Starts a program for a test script the way the test suites do (clean
// environment, own folder, deadline), and stays with it until it ends.
//   orbex_launch [--dir DIR] [--deadline SECONDS] [--pid-file FILE]
//                [--stdout FILE] [--stderr FILE] [--usage-file FILE]
//                [NAME=VALUE ...] -- PROGRAM [ARG ...]
// The exit status is the program's; 124 when the deadline killed it, 128 + N
// when signal N ended it. Ended by SIGTERM, SIGINT or SIGHUP, it kills the
// program first. The pid file holds the program's process id once it runs.
// The usage file gets, once the program has ended, its peak resident memory
// in KiB, 1 when the deadline killed it (else 0), and the signal that ended
// it (else 0). Linux counts the memory
// of the process a program was started from into the program's peak, so a
// big test process measures its children through this small one.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "support/process.h"

namespace {

volatile std::sig_atomic_t nStopSignal = 0;

void onStop(int signal) { nStopSignal = signal; }

int usage() {
    std::fprintf(stderr, "usage: orbex_launch [--dir DIR] [--deadline SECONDS] [--pid-file FILE] [--stdout FILE] "
                         "[--stderr FILE] [--usage-file FILE] [NAME=VALUE ...] -- PROGRAM [ARG ...]\n");
    return 2;
}

// Written whole under another name first, so a reader never sees half of it.
bool writePidFile(const std::string &path, pid_t pid) {
    const std::string partial = path + ".partial";
    {
        std::ofstream out(partial, std::ios::trunc);
        out << pid << "\n";
        if (!out)
            return false;
    }
    return std::rename(partial.c_str(), path.c_str()) == 0;
}

void writeUsageFile(const std::string &path, const orbex::test::RunResult &result, bool bTimedOut) {
    if (path.empty())
        return;
    std::ofstream out(path, std::ios::trunc);
    out << result.nMaxRssKiB << " " << (bTimedOut ? 1 : 0) << " " << result.nSignal << "\n";
}

} // namespace

int main(int argc, char **argv) {
    orbex::test::ProgramRun run;
    run.stdoutFile.clear();
    run.stderrFile.clear();
    std::string pidFile;
    std::string usageFile;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string option = argv[i];
        const bool bValue = i + 1 < argc;
        if (option == "--dir" && bValue)
            run.folder = argv[++i];
        else if (option == "--deadline" && bValue)
            run.deadline = std::chrono::milliseconds(static_cast<long long>(std::atof(argv[++i]) * 1000));
        else if (option == "--pid-file" && bValue)
            pidFile = argv[++i];
        else if (option == "--stdout" && bValue)
            run.stdoutFile = argv[++i];
        else if (option == "--stderr" && bValue)
            run.stderrFile = argv[++i];
        else if (option == "--usage-file" && bValue)
            usageFile = argv[++i];
        else if (option.find('=') != std::string::npos && option.rfind("--", 0) != 0)
            run.environment.push_back(option);
        else
            return usage();
    }
    if (i + 1 >= argc)
        return usage();
    run.program = argv[i + 1];
    for (int a = i + 2; a < argc; ++a)
        run.arguments.emplace_back(argv[a]);

    struct sigaction action {};
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);

    orbex::test::RunningProgram program(run);
    if (program.pid() <= 0) {
        std::fprintf(stderr, "orbex_launch: cannot start %s\n", run.program.c_str());
        return 127;
    }
    if (!pidFile.empty() && !writePidFile(pidFile, program.pid())) {
        std::fprintf(stderr, "orbex_launch: cannot write %s\n", pidFile.c_str());
        program.kill();
        return 127;
    }
    const auto deadline = std::chrono::steady_clock::now() + run.deadline;
    while (program.running()) {
        if (nStopSignal != 0) {
            program.kill();
            return 128 + nStopSignal;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            writeUsageFile(usageFile, program.kill(), true);
            std::fprintf(stderr, "orbex_launch: %s killed at its deadline\n", run.program.c_str());
            return 124;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    orbex::test::RunResult result = program.wait();
    writeUsageFile(usageFile, result, false);
    return result.bExited ? result.nStatus : 128 + result.nSignal;
}
