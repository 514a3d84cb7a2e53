#include "base/log.h"

#include <cstring>

#include "base/ownfiles.h"
#include "base/settings.h"

namespace orbex {

void writeLog(const char *text) {
    if (bLogOn == 1)
        appendLogFile(text);
}

void appendLogFile(const char *text) {
    // Opened and closed for every entry, so each line is on disk at once. A
    // line that cannot be written is lost; standard error hears of it once.
    TextFileWriter log = openOwnFile(OwnFile::Log, TextFileMode::Append);
    if (!log.isOpen())
        return;
    log.write(text, std::strlen(text));
    if (!log.close())
        reportOwnFileFailure(OwnFile::Log, log.failure());
}

} // namespace orbex
