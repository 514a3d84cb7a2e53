// The log "orbex.log": one entry appended per call, the file opened and closed
// around each, line feeds stored as 13 10. Written only with the letter l.
#pragma once

namespace orbex {

// Every log line of the viewer but the two start-up lines goes through here;
// it writes only when bLogOn is 1.
void writeLog(const char *text);
// Appends unconditionally; the start-up calls it for its credits and version.
void appendLogFile(const char *text);

} // namespace orbex
