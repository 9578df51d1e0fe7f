#include "store/screens/SearchView.h"

#include "platform/SettingsStore.h"
#include "store/records/NavigationParameters.h"
#include "toolkit/NavigationController.h"
#include "toolkit/ScreenRegistry.h"

namespace orv::store {

orv::toolkit::ViewController* SearchView::open(orv::toolkit::NavigationController* stack) {
  NavigationParameters::writeSearch(*orv::SettingsStore::standard());
  if (!stack) return nullptr;
  orv::toolkit::ViewController* screen = orv::toolkit::ScreenRegistry::main().create("GameGridViewController");
  if (screen) stack->pushViewController(screen, true);
  return screen;
}

}  // namespace orv::store
