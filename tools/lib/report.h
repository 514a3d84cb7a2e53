// What an authoring step found: errors stop it, warnings let it go on.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace orbex {

struct Report {
    std::vector<std::string> errors;
    std::vector<std::string> warnings;

    void error(const std::string &text) { errors.push_back(text); }
    void warn(const std::string &text) { warnings.push_back(text); }
    bool ok() const { return errors.empty(); }
};

// Problems of one file listed one by one; the rest are counted.
constexpr std::size_t MAX_LISTED = 50;

// Lists the first problems of one file under its name and counts the others,
// so a hostile file cannot fill the memory with messages. The count goes into
// the report when the list is destroyed.
class Listed {
  public:
    // Each message is put as name, separator, text; without a name, as text.
    Listed(Report &into, std::string name, std::string separator = ": ")
        : into(into), name(std::move(name)), separator(this->name.empty() ? "" : std::move(separator)) {}
    ~Listed() {
        std::string more = (name.empty() ? "" : name + ": ") + "and " +
                           std::to_string(unlistedErrors + unlistedWarnings) + " more problems";
        if (unlistedErrors > 0)
            into.error(more);
        else if (unlistedWarnings > 0)
            into.warn(more);
    }
    Listed(const Listed &) = delete;
    Listed &operator=(const Listed &) = delete;

    // Whether the next problem gets a message; callers of a hot loop ask
    // first, so counted problems cost no text.
    bool listing() const { return listed < MAX_LISTED; }
    void error(const std::string &text) {
        ++errorCount;
        if (listed++ < MAX_LISTED)
            into.error(name + separator + text);
        else
            ++unlistedErrors;
    }
    void warn(const std::string &text) {
        if (listed++ < MAX_LISTED)
            into.warn(name + separator + text);
        else
            ++unlistedWarnings;
    }
    void countError() {
        ++errorCount;
        ++listed;
        ++unlistedErrors;
    }
    // Every error so far, listed or counted.
    std::size_t errors() const { return errorCount; }

  private:
    Report &into;
    std::string name;
    std::string separator;
    std::size_t listed = 0;
    std::size_t errorCount = 0;
    std::size_t unlistedErrors = 0;
    std::size_t unlistedWarnings = 0;
};

} // namespace orbex
