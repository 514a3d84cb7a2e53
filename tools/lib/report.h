// What an authoring step found: errors stop it, warnings let it go on.
#pragma once

#include <string>
#include <vector>

namespace orbex {

struct Report {
    std::vector<std::string> errors;
    std::vector<std::string> warnings;

    void error(const std::string &text) { errors.push_back(text); }
    void warn(const std::string &text) { warnings.push_back(text); }
    bool ok() const { return errors.empty(); }
};

} // namespace orbex
