#include "modules/shared_settings.h"

namespace larkspur {

SharedSettings& Shared() {
    static SharedSettings settings;
    return settings;
}

void ResetShared() {
    Shared() = SharedSettings{};
}

}  // namespace larkspur
