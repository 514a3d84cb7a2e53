// How the preview's page names a build's problem: its file, its line (0 when
// the message names none) and the message, from the build's own wording.
#include <gtest/gtest.h>

#include "preview.h"

namespace {

struct ProblemCase {
    const char *error;
    const char *file;
    int line;
    const char *message;
};

class SourceProblems : public ::testing::TestWithParam<ProblemCase> {};

TEST_P(SourceProblems, NameFileLineAndMessage) {
    const ProblemCase &c = GetParam();
    const orbex::SourceProblem problem = orbex::sourceProblem(c.error);
    EXPECT_EQ(problem.file, c.file);
    EXPECT_EQ(problem.line, c.line);
    EXPECT_EQ(problem.message, c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SourceProblems,
    ::testing::Values(
        ProblemCase{"pe/src/articles/02-help.txt:28: expected {link N L #RRGGBB #RRGGBB} with article N 1..99",
                    "pe/src/articles/02-help.txt", 28, "expected {link N L #RRGGBB #RRGGBB} with article N 1..99"},
        ProblemCase{"pe/src/articles/03-a b.txt: 7: a line: with colons", "pe/src/articles/03-a b.txt", 7,
                    "a line: with colons"},
        ProblemCase{"pe/src/font.hex: missing", "pe/src/font.hex", 0, "missing"},
        ProblemCase{"cannot read: the folder", "cannot read", 0, "the folder"},
        ProblemCase{"no sources here", "", 0, "no sources here"}));

} // namespace
