#include "support/child.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "support/process.h"

namespace orbex::test {

namespace {

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    return text;
}

} // namespace

// Started through the small launcher: Linux counts the memory of the process
// a program is started from into the program's peak, and a test process,
// above all a sanitized one, can be bigger than the limit a test checks.
ChildResult runChild(const std::vector<std::string> &argv, double deadlineSeconds,
                     const std::vector<std::string> &environment) {
    const std::string usageFile = "child-usage.txt";
    std::remove(usageFile.c_str());
    ProgramRun run;
    run.program = ORBEX_LAUNCH;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", deadlineSeconds);
    // The launcher passes on its own environment without ORBEX_* variables,
    // and the given ones.
    run.arguments = {"--deadline", seconds, "--usage-file", usageFile};
    run.arguments.insert(run.arguments.end(), environment.begin(), environment.end());
    run.arguments.push_back("--");
    run.arguments.insert(run.arguments.end(), argv.begin(), argv.end());
    run.stdoutFile = "child-stdout.txt";
    run.stderrFile = "child-stderr.txt";
    // The launcher ends the program at its deadline; this one is for a
    // launcher that hangs.
    run.deadline =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::duration<double>(deadlineSeconds + 10));
    RunResult ended = runProgram(run);
    ChildResult result;
    long timedOut = 0, signal = 0;
    std::ifstream usage(usageFile);
    if (!(usage >> result.maxRssKiB >> timedOut >> signal))
        result.maxRssKiB = ended.nMaxRssKiB;
    usage.close();
    std::remove(usageFile.c_str());
    result.timedOut = ended.bTimedOut || timedOut != 0;
    result.status = result.timedOut || signal != 0 ? -1 : ended.status();
    result.out = slurp(run.stdoutFile);
    result.err = slurp(run.stderrFile);
    return result;
}

} // namespace orbex::test
