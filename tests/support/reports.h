// Whether a tool's report holds a warning or an error that says part.
#pragma once

#include <algorithm>
#include <string>

#include "report.h"

namespace orbex::test {

inline bool hasWarning(const Report &report, const std::string &part) {
    return std::any_of(report.warnings.begin(), report.warnings.end(),
                       [&](const std::string &w) { return w.find(part) != std::string::npos; });
}
inline bool hasError(const Report &report, const std::string &part) {
    return std::any_of(report.errors.begin(), report.errors.end(),
                       [&](const std::string &e) { return e.find(part) != std::string::npos; });
}

} // namespace orbex::test
