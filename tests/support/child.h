// A built program run to its end through the one start helper
// (support/process.h), its output and peak memory at hand: the tools' tests.
#pragma once

#include <string>
#include <vector>

namespace orbex::test {

struct ChildResult {
    int status = -1;       // exit status; -1 when killed or not started
    bool timedOut = false; // killed at the deadline
    long maxRssKiB = 0;    // the child's peak resident memory
    std::string out, err;  // what it wrote to standard output and error
};

// Runs argv[0] with argv in the working directory, without any inherited
// ORBEX_* variable but with the given NAME=VALUE ones.
ChildResult runChild(const std::vector<std::string> &argv, double deadlineSeconds = 60,
                     const std::vector<std::string> &environment = {});

} // namespace orbex::test
