// Built only while the settings store is not part of the build: the home
// button then has no store to empty (an application installs its own
// clearer with SlidingNavigationStack::setSettingsClearer).
#include "platform/Log.h"

namespace orv::toolkit::detail {

void clearStandardSettings() {
  orv::log("SlidingNavigationStack::popToRoot", "no settings store in this build");
}

}  // namespace orv::toolkit::detail
