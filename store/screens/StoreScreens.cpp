#include "store/screens/StoreScreens.h"

#include "store/screens/LoginViewController.h"
#include "store/screens/LoginViewController2.h"
#include "toolkit/ScreenRegistry.h"

namespace orv::store {

void registerStoreScreens() {
  auto& screens = orv::toolkit::ScreenRegistry::main();
  screens.registerScreen("LoginViewController", [] { return new LoginViewController; });
  screens.registerScreen("LoginViewController2", [] { return new LoginViewController2; });
}

}  // namespace orv::store
