#include "platform/testing.h"

#include "platform/install.h"
#include "platform/internal.h"

namespace orbex {

void resetPlatform() {
    shutdownBackend();
    resetWindowSystem();
    resetDisplayLayer();
    resetSoundLayer();
    resetClock();
    resetAutomation();
    resetPlaces();
}

} // namespace orbex
