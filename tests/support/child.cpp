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

ChildResult runChild(const std::vector<std::string> &argv, double deadlineSeconds,
                     const std::vector<std::string> &environment) {
    ProgramRun run;
    run.program = argv.at(0);
    run.arguments.assign(argv.begin() + 1, argv.end());
    run.environment = environment;
    run.stdoutFile = "child-stdout.txt";
    run.stderrFile = "child-stderr.txt";
    run.deadline =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::duration<double>(deadlineSeconds));
    RunResult ended = runProgram(run);
    ChildResult result;
    result.status = ended.status();
    result.timedOut = ended.bTimedOut;
    result.maxRssKiB = ended.nMaxRssKiB;
    result.out = slurp(run.stdoutFile);
    result.err = slurp(run.stderrFile);
    return result;
}

} // namespace orbex::test
