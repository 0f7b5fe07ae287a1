// The parts of the platform layer that the C library already makes portable.
#include "platform.h"

#include <cstdlib>

namespace platform {

std::optional<std::string> get_env(const char* name) {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

}  // namespace platform
