#include "store/records/CatalogueRequests.h"

#include "wire/ORVDataObject.h"
#include "wire/ORVRequest.h"

namespace orv::store {
namespace {

ORVDataObjectBuilder page(int32_t size, int32_t index) {
  ORVDataObjectBuilder b = ORVDataObject::builder();
  b.putString(CatalogueRequests::kPlatform, "pf").putInt32(size, "ps").putInt32(index, "pi");
  return b;
}

ORVRequestPtr request(const std::string& command, ORVDataObjectBuilder& content) {
  return ORVRequest::extensionRequestWithCommand(command, content.build());
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

}  // namespace

ORVRequestPtr CatalogueRequests::home() {
  auto b = page(kHomePageSize, 0);
  return request(kHome, b);
}

ORVRequestPtr CatalogueRequests::homeSections() {
  auto b = page(kHomePageSize, 0);
  return request(kHomeSections, b);
}

ORVRequestPtr CatalogueRequests::homeList(const std::string& command, int32_t index, int32_t pageSize) {
  auto b = page(pageSize, index);
  return request(command, b);
}

ORVRequestPtr CatalogueRequests::categoryList(int32_t categoryId, int32_t index, const std::string& command) {
  auto b = page(kListPageSize, index);
  b.putInt32(categoryId, "id");
  return request(command, b);
}

ORVRequestPtr CatalogueRequests::search(std::string_view text, int32_t index) {
  auto b = page(kListPageSize, index);
  b.putString(text, "sh");
  return request(kSearch, b);
}

ORVRequestPtr CatalogueRequests::relatedToGame(int32_t gameId) { return relatedList(gameId, 0); }

ORVRequestPtr CatalogueRequests::relatedList(int32_t gameId, int32_t index) {
  auto b = page(kListPageSize, index);
  b.putInt32(gameId, "id").putInt32(kOrder, "ord");
  return request(kRelated, b);
}

ORVRequestPtr CatalogueRequests::detail(int32_t gameId) {
  ORVDataObjectBuilder b = ORVDataObject::builder();
  b.putInt32(gameId, "id");
  return request(kDetail, b);
}

ORVRequestPtr CatalogueRequests::categories() {
  ORVDataObjectBuilder b = ORVDataObject::builder();
  b.putString(kPlatform, "pf");
  return request(kCategories, b);
}

ORVRequestPtr CatalogueRequests::status(std::string_view msisdn) {
  ORVDataObjectBuilder b = ORVDataObject::builder();
  b.putString(msisdn, "msi");
  return request(kStatus, b);
}

ORVRequestPtr CatalogueRequests::subscribe(std::string_view msisdn) {
  ORVDataObjectBuilder b = ORVDataObject::builder();
  b.putString(msisdn, "msi");
  return request(kSubscribe, b);
}

ORVRequestPtr CatalogueRequests::buy(int32_t gameId, int32_t price, std::string_view name, std::string_view msisdn,
                                     std::string_view partner) {
  ORVDataObjectBuilder b = ORVDataObject::builder();
  b.putInt32(gameId, "id").putInt32(price, "pri").putString(name, "tl").putString(msisdn, "msi").putString(partner,
                                                                                                         "par");
  return request(kBuy, b);
}

ORVRequestPtr CatalogueRequests::listPage(const std::string& command, int32_t index, int32_t id,
                                          std::string_view searchText) {
  if (command.empty()) return nullptr;
  if (startsWith(command, kCategoryList)) return categoryList(id, index, command);
  if (command == kSearch) return search(searchText, index);
  if (command == kRelated) return relatedList(id, index);
  if (startsWith(command, kHome)) return homeList(command, index);
  return nullptr;
}

}  // namespace orv::store
