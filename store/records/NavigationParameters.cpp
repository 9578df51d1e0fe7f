#include "store/records/NavigationParameters.h"

#include "platform/SettingsStore.h"
#include "store/records/CatalogueRequests.h"
#include "store/records/DetailParameters.h"

namespace orv::store {

int32_t NavigationParameters::numericId() const { return DetailParameters::parseInt(id); }

NavigationParameters NavigationParameters::read(const SettingsStore& store) {
  return NavigationParameters{store.value("cmd"), store.value("id"), store.value("tl")};
}

NavigationParameters NavigationParameters::read() { return read(*SettingsStore::standard()); }

void NavigationParameters::write(SettingsStore& store) const {
  store.set("cmd", command);
  store.set("id", id);
  store.set("tl", title);
}

void NavigationParameters::write() const { write(*SettingsStore::standard()); }

void NavigationParameters::writeStartValues(SettingsStore& store) {
  store.set("id", "0");
  store.set("tl", "");
  store.set("cmd", CatalogueRequests::kHome);
}

void NavigationParameters::writeSearch(SettingsStore& store) {
  store.removeAll();
  store.set("cmd", CatalogueRequests::kSearch);
}

}  // namespace orv::store
