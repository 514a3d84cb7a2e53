// orbex-tool preview: a project's web edition on 127.0.0.1, built again after
// every save. The page (web/src/preview.mjs) asks the server what changed
// and opens the magazine again at the same article and line; a problem in a
// source is shown over the last good build.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report.h"

namespace orbex {

struct PreviewOptions {
    std::string folder;  // the project, as orbex-tool new makes it
    std::string edition; // the web edition
    int port = 0;        // 0: a free one
    bool open = false;   // start the reader's browser
};

// A problem of a build as the page shows it.
struct SourceProblem {
    std::string file;
    int line = 0; // 0: none named
    std::string message;
};

// "PATH:LINE: message", "PATH: message" or a message alone, as the build
// reports them.
SourceProblem sourceProblem(const std::string &error);

// Serves until SIGINT or SIGTERM; returns the exit status.
int runPreview(const PreviewOptions &options, Report &report);

} // namespace orbex
