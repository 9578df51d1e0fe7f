#pragma once
// The store's own images (menu icons, stars, the "more" chevron, the game
// placeholder) live in a Qt resource compiled into the screens library, under
// ":/icons/<name>.svg" where the toolkit's Icons finds them. A static library
// must register its resources once before use: screens call this first.

namespace orv::store {

void ensureStoreImages();

}  // namespace orv::store
