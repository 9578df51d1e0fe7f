#pragma once
// The store's extension commands, answered from the catalogue: the session
// server hands each extension request here and sends back what it returns.
//
//   "hm"        banner games               ps, pi          -> rs: games
//   "hm.vip"    home sections              ps, pi          -> rs: sections (tl, id, lt)
//   "hm.<name>" the games of one section   ps, pi          -> rs: games
//   "cnt.li*"   the games of a category    ps, pi, id      -> rs: games
//   "cnt.fin"   search                     ps, pi, sh      -> rs: games
//   "cnt.rlt"   games like a game          ps, pi, id, ord -> rs: games
//   "cnt.dt"    a game's detail            id              -> gll, des
//   "cnt.cat"   categories                 (pf)            -> rs: categories (id, tl, ico)
//   "a.stt"     subscription status        msi             -> ec = status, em
//   "a.reg"     subscribe                  msi             -> em (ec on failure)
//   "a.buy"     buy / download             id, pri, tl, msi, par -> rs = link (ec, em on failure)
//
// "pf" is optional everywhere (the store always sends "android"); every other
// key listed is required with its type (int32 or string). A missing or
// mistyped key is answered with "ec" = kBadRequest and an "em" text, never a
// crash. A failure answer holds "ec"; "a.stt" always holds "ec", which is the
// status there.

#include <chrono>
#include <functional>
#include <string_view>

#include "wire/ORVDataObject.h"

namespace orv::server {

class Catalogue;

class StoreCommands {
 public:
  using Clock = std::function<std::chrono::system_clock::time_point()>;

  // Failure codes of "ec" besides the subscription statuses 98 and 99.
  static constexpr int32_t kBadRequest = 1;
  static constexpr int32_t kNotFound = 2;
  static constexpr int32_t kPriceChanged = 3;
  static constexpr int32_t kServerError = 4;

  // The catalogue must outlive this object.
  explicit StoreCommands(Catalogue& catalogue, Clock clock = {});

  // The answer content for a store command, or nullptr for a command that is
  // not the store's. Thread-safe.
  ORVDataObjectPtr handle(std::string_view command, const ORVDataObjectPtr& content,
                          std::string_view peerAddress) const;

 private:
  ORVDataObjectPtr status(const ORVDataObject& content) const;
  ORVDataObjectPtr subscribe(const ORVDataObject& content, std::string_view peer) const;
  ORVDataObjectPtr buy(const ORVDataObject& content, std::string_view peer) const;
  ORVDataObjectPtr detail(const ORVDataObject& content) const;
  int64_t nowMillis() const;

  Catalogue& catalogue_;
  Clock clock_;
};

}  // namespace orv::server
