#include "store/screens/StoreImages.h"

#include <QtGlobal>
#include <mutex>

static void registerStoreImages() { Q_INIT_RESOURCE(store_images); }

namespace orv::store {

void ensureStoreImages() {
  static std::once_flag once;
  std::call_once(once, registerStoreImages);
}

}  // namespace orv::store
