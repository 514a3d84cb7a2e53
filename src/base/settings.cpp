#include "base/settings.h"

namespace orbex {

ViewerSettings viewerSettings;
RunState runState;

} // namespace orbex
