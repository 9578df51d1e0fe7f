#include "store/screens/StoreScreens.h"

#include "store/screens/GameDetailViewController.h"
#include "store/screens/GameGridViewController.h"
#include "store/screens/GameTableViewController.h"
#include "store/screens/HomeViewController.h"
#include "store/screens/LeftMenuViewController.h"
#include "store/screens/LoginViewController.h"
#include "store/screens/LoginViewController2.h"
#include "toolkit/ScreenRegistry.h"

namespace orv::store {

void registerStoreScreens() {
  auto& screens = orv::toolkit::ScreenRegistry::main();
  screens.registerScreen("LoginViewController", [] { return new LoginViewController; });
  screens.registerScreen("LoginViewController2", [] { return new LoginViewController2; });
  screens.registerScreen("HomeViewController", [] { return new HomeViewController; });
  screens.registerScreen("LeftMenuViewController", [] { return new LeftMenuViewController; });
  screens.registerScreen("GameGridViewController", [] { return new GameGridViewController; });
  screens.registerScreen("GameTableViewController", [] { return new GameTableViewController; });
  screens.registerScreen("GameDetailViewController", [] { return new GameDetailViewController; });
}

}  // namespace orv::store
