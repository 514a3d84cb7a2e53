// Reading and writing the tools' files. Only regular files are opened, as the
// viewer does, so a FIFO or a device named like a source never blocks a tool,
// and reads stop at a limit, so a huge file never swallows the memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report.h"

namespace orbex {

// More than any source or magazine file needs; pictures, fonts and archives
// are far smaller.
constexpr std::size_t MAX_INPUT_BYTES = 64u << 20;

enum class ReadResult { Ok, Missing, NotRegular, TooBig, Failed };

// The whole file, when it is a regular file of at most limit bytes. size gets
// the file's size even when it is too big (0 otherwise).
ReadResult readFileBytes(const std::string &path, std::vector<std::uint8_t> &bytes, std::size_t limit = MAX_INPUT_BYTES,
                         std::uint64_t *size = nullptr);
// The first limit bytes of a regular file (or all of it), and its full size.
ReadResult readFileHead(const std::string &path, std::vector<std::uint8_t> &bytes, std::size_t limit,
                        std::uint64_t &size);
// A message for a failed read: "PATH: missing" and the like.
std::string readProblem(const std::string &path, ReadResult result, std::size_t limit = MAX_INPUT_BYTES);
// readFileBytes with the problem put into report; true when read.
bool readInput(const std::string &path, std::vector<std::uint8_t> &bytes, Report &report,
               std::size_t limit = MAX_INPUT_BYTES);

// Creates or empties path and writes bytes; refuses anything but a regular
// file (a FIFO would block until someone reads it).
bool writeFileBytes(const std::string &path, const std::vector<std::uint8_t> &bytes);
// writeFileBytes with "PATH: cannot write" put into report.
bool writeOutput(const std::string &path, const std::vector<std::uint8_t> &bytes, Report &report);

// Short forms kept for the tests and the callers that need no reason.
bool readBytes(const std::string &path, std::vector<std::uint8_t> &bytes);
bool writeBytes(const std::string &path, const std::vector<std::uint8_t> &bytes);

bool isFolder(const std::string &path);

} // namespace orbex
