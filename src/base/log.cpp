#include "base/log.h"

#include <cstring>

#include "base/settings.h"
#include "base/textfile.h"

namespace orbex {

void writeLog(const char *text) {
    if (bLogOn == 1)
        appendLogFile(text);
}

void appendLogFile(const char *text) {
    // Opened and closed for every entry, so each line is on disk at once.
    TextFileWriter log("orbex.log", TextFileMode::Append);
    if (!log.isOpen())
        return;
    log.write(text, std::strlen(text));
}

} // namespace orbex
