// The default of what the home button empties: the application's standard
// settings store (navigation and detail parameters included).
#include "platform/SettingsStore.h"

namespace orv::toolkit::detail {

void clearStandardSettings() { orv::SettingsStore::standard()->removeAll(); }

}  // namespace orv::toolkit::detail
