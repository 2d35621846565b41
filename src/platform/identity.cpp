// Which platform layer the host loaded, and the system's error texts.
#include <string.h>

#include "tidelink.h"

namespace {
constexpr char kPlatformName[] = "android";
}

const char* udpPlatform(void) {
    return kPlatformName;
}

const char* udpPlatformErrorString(int32_t error) {
    return strerror(error);
}
