#include "platform/backend.h"

namespace orbex {

namespace {
VideoBackend *pVideoBackend = nullptr;
}

void setVideoBackend(VideoBackend *backend) { pVideoBackend = backend; }

VideoBackend *videoBackend() { return pVideoBackend; }

} // namespace orbex
