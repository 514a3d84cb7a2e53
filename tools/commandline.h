// The command line as every tool takes it: --help and --version answered on
// standard output with status 0, a command line that is not understood
// named on standard error with status 2.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdio>
#include <optional>

namespace orbex {

constexpr int USAGE = 2;

// The status to end with, or nothing when the tool goes on with its work.
inline std::optional<int> parseCommandLine(CLI::App &app, int argc, char **argv, const char *hint) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForVersion &e) {
        std::printf("%s\n", e.what());
        return 0;
    } catch (const CLI::ParseError &e) {
        if (e.get_exit_code() == 0)
            return app.exit(e);
        std::fprintf(stderr, "%s: %s\n(%s)\n", app.get_name().c_str(), e.what(), hint);
        return USAGE;
    }
    return std::nullopt;
}

} // namespace orbex
