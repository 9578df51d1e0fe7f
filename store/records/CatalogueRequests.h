#pragma once
// The store's extension requests, one factory per row of the command table,
// each with exactly its keys and value types: ids, prices, page sizes and page
// indexes are int32; "pf", "sh", "msi", "tl" and "par" are strings. "pf" is
// always "android" and "ord" always 0.
//
//   "hm"        pf, ps=5, pi=0                 home banner
//   "hm.vip"    pf, ps=5, pi=0                 home sections
//   "hm.*"      pf, ps, pi                     a home section's list
//   "cnt.li*"   pf, ps=10, pi, id              a category's list
//   "cnt.fin"   pf, ps=10, pi, sh              search
//   "cnt.rlt"   pf, ord=0, ps=10, pi, id       related games (detail strip / list)
//   "cnt.dt"    id                             a game's detail
//   "cnt.cat"   pf                             categories
//   "a.stt"     msi                            subscription status
//   "a.reg"     msi                            subscribe
//   "a.buy"     id, pri, tl, msi, par          buy / download

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class ORVRequest;
using ORVRequestPtr = std::shared_ptr<ORVRequest>;

namespace orv::store {

class CatalogueRequests {
 public:
  CatalogueRequests() = delete;

  static constexpr const char* kHome = "hm";
  static constexpr const char* kHomeSections = "hm.vip";
  static constexpr const char* kHomeNew = "hm.new";
  static constexpr const char* kCategoryList = "cnt.li";
  static constexpr const char* kSearch = "cnt.fin";
  static constexpr const char* kRelated = "cnt.rlt";
  static constexpr const char* kDetail = "cnt.dt";
  static constexpr const char* kCategories = "cnt.cat";
  static constexpr const char* kStatus = "a.stt";
  static constexpr const char* kSubscribe = "a.reg";
  static constexpr const char* kBuy = "a.buy";
  // The group under which the side menu receives "a.stt", "a.reg", "a.buy".
  static constexpr const char* kAccountGroup = "a";

  static constexpr const char* kPlatform = "android";
  static constexpr int32_t kListPageSize = 10;
  static constexpr int32_t kHomePageSize = 5;
  static constexpr int32_t kOrder = 0;

  // "hm": the banner games, page 0 of 5.
  static ORVRequestPtr home();
  // "hm.vip": the home sections, page 0 of 5.
  static ORVRequestPtr homeSections();
  // A home section's list ("hm.new", "hm.rcm", ... any command beginning
  // with "hm"): "pf", "ps" = pageSize, "pi" = page.
  static ORVRequestPtr homeList(const std::string& command, int32_t page, int32_t pageSize = kListPageSize);
  // A category's list (command "cnt.li" or one that begins with it).
  static ORVRequestPtr categoryList(int32_t categoryId, int32_t page, const std::string& command = kCategoryList);
  // "cnt.fin" for the search text.
  static ORVRequestPtr search(std::string_view text, int32_t page);
  // "cnt.rlt" as the detail screen asks it: page 0, "ord" = 0.
  static ORVRequestPtr relatedToGame(int32_t gameId);
  // "cnt.rlt" as the table list screen pages it.
  static ORVRequestPtr relatedList(int32_t gameId, int32_t page);
  // "cnt.dt": only "id".
  static ORVRequestPtr detail(int32_t gameId);
  // "cnt.cat": only "pf".
  static ORVRequestPtr categories();
  // "a.stt" / "a.reg": only "msi".
  static ORVRequestPtr status(std::string_view msisdn);
  static ORVRequestPtr subscribe(std::string_view msisdn);
  // "a.buy".
  static ORVRequestPtr buy(int32_t gameId, int32_t price, std::string_view name, std::string_view msisdn,
                           std::string_view partner);

  // The page request of a list screen for its navigation command: commands
  // beginning with "cnt.li" carry the category id, "cnt.fin" the search
  // text, "cnt.rlt" the game id and "ord", and the "hm" family only the page.
  // Null for a command of none of these families.
  static ORVRequestPtr listPage(const std::string& command, int32_t page, int32_t id, std::string_view searchText);
};

}  // namespace orv::store
