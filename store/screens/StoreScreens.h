#pragma once
// Registers every screen of the store by name in the screen collection
// "Main" (orv::toolkit::ScreenRegistry::main()). Each screen family adds its
// own lines here. Safe to call more than once.

namespace orv::store {

void registerStoreScreens();

}  // namespace orv::store
