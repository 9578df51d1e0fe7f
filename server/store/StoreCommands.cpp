#include "server/store/StoreCommands.h"

#include <optional>
#include <string>
#include <vector>

#include "platform/Log.h"
#include "server/store/Catalogue.h"
#include "server/store/OtpService.h"
#include "wire/ORVDataArray.h"

namespace orv::server {
namespace {

// Reads of request keys that check the type the store sends.
std::optional<int32_t> int32Key(const ORVDataObject& content, std::string_view key) {
  const ORVDataElement* e = content.elementForKey(key);
  if (!e || e->type() != ORVDataTypeInt32) return std::nullopt;
  return e->int32Value();
}

std::optional<std::string> stringKey(const ORVDataObject& content, std::string_view key) {
  const ORVDataElement* e = content.elementForKey(key);
  if (!e || e->type() != ORVDataTypeString) return std::nullopt;
  return e->stringValue();
}

ORVDataObjectPtr failure(int32_t code, std::string text) {
  return ORVDataObject::builder().putInt32(code, "ec").putString(std::move(text), "em").build();
}

// The "ec"/"em" answer for a key that is missing or of the wrong type.
ORVDataObjectPtr badKey(std::string_view key, const char* type) {
  return failure(StoreCommands::kBadRequest,
                 "Yêu cầu không hợp lệ: thiếu tham số \"" + std::string(key) + "\" (" + type + ")");
}

// "pf" may be absent; when present it must be a string.
bool platformOk(const ORVDataObject& content) {
  return !content.containsKey("pf") || stringKey(content, "pf").has_value();
}

ORVDataObjectPtr gameEntry(const Game& g) {
  return ORVDataObject::builderWithCapacity(11)
      .putInt32(g.id, "id")
      .putString(g.title, "tl")
      .putString(g.partner, "par")
      .putString(g.provider, "sms")
      .putInt32(g.price, "pri")
      .putString(g.icon, "ico")
      .putInt32(g.downloads, "dlc")
      .putInt32(g.ratingCount, "rtc")
      .putDouble(g.rating, "rat")
      .putString(g.version, "ver")
      .putInt32(g.status, "stt")
      .build();
}

ORVDataArrayPtr gameList(const std::vector<Game>& games) {
  auto builder = ORVDataArray::builderWithCapacity(static_cast<uint32_t>(games.size()));
  for (const auto& g : games) builder.addDataObject(gameEntry(g));
  return builder.build();
}

ORVDataObjectPtr listAnswer(const std::vector<Game>& games) {
  return ORVDataObject::builder().putDataArray(gameList(games), "rs").build();
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

constexpr std::string_view kStatusTexts[] = {
    "Quý khách đang sử dụng dịch vụ. Chúc quý khách chơi game vui vẻ!",
    "Gói dịch vụ của quý khách đã hết hạn. Vui lòng gia hạn để tiếp tục tải game.",
    "Quý khách chưa đăng ký dịch vụ. Đăng ký ngay để tải game không giới hạn!",
};

std::string statusText(int32_t status) {
  if (status == kSubscribed) return std::string(kStatusTexts[0]);
  if (status == kRenewalDue) return std::string(kStatusTexts[1]);
  return std::string(kStatusTexts[2]);
}

}  // namespace

StoreCommands::StoreCommands(Catalogue& catalogue, Clock clock) : catalogue_(catalogue), clock_(std::move(clock)) {
  if (!clock_) clock_ = [] { return std::chrono::system_clock::now(); };
}

int64_t StoreCommands::nowMillis() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(clock_().time_since_epoch()).count();
}

ORVDataObjectPtr StoreCommands::handle(std::string_view command, const ORVDataObjectPtr& contentPtr,
                                       std::string_view peerAddress) const {
  const bool isStore = startsWith(command, "hm") || startsWith(command, "cnt.") || startsWith(command, "a.");
  if (!isStore) return nullptr;
  const ORVDataObject& content = contentPtr ? *contentPtr : *ORVDataObject::dataObject();

  // Account commands.
  if (command == "a.stt") return status(content);
  if (command == "a.reg") return subscribe(content, peerAddress);
  if (command == "a.buy") return buy(content, peerAddress);
  if (command == "cnt.dt") return detail(content);
  if (command == "cnt.cat") {
    if (!platformOk(content)) return badKey("pf", "string");
    auto rs = ORVDataArray::builder();
    for (const auto& c : catalogue_.categories()) {
      rs.addDataObject(ORVDataObject::builderWithCapacity(3)
                           .putInt32(c.id, "id")
                           .putString(c.title, "tl")
                           .putString(c.icon, "ico")
                           .build());
    }
    return ORVDataObject::builder().putDataArray(rs.build(), "rs").build();
  }

  // Paged lists: every one reads "ps" and "pi".
  const bool isList = command == "hm" || command == "hm.vip" || startsWith(command, "hm.") ||
                      startsWith(command, "cnt.li") || command == "cnt.fin" || command == "cnt.rlt";
  if (!isList) return nullptr;
  if (!platformOk(content)) return badKey("pf", "string");
  const auto ps = int32Key(content, "ps");
  if (!ps) return badKey("ps", "int32");
  const auto pi = int32Key(content, "pi");
  if (!pi) return badKey("pi", "int32");
  const Page page{*ps, *pi};

  if (command == "hm") return listAnswer(catalogue_.bannerGames(page));
  if (command == "hm.vip") {
    auto rs = ORVDataArray::builder();
    for (const auto& s : catalogue_.homeSections(page)) {
      rs.addDataObject(ORVDataObject::builderWithCapacity(3)
                           .putString(s.title, "tl")
                           .putString(s.command, "id")
                           .putDataArray(gameList(s.games), "lt")
                           .build());
    }
    return ORVDataObject::builder().putDataArray(rs.build(), "rs").build();
  }
  if (startsWith(command, "hm.")) {
    const auto games = catalogue_.sectionGames(command, page);
    return games ? listAnswer(*games) : nullptr;  // not a section of ours
  }
  if (command == "cnt.fin") {
    const auto text = stringKey(content, "sh");
    if (!text) return badKey("sh", "string");
    return listAnswer(catalogue_.search(*text, page));
  }
  const auto id = int32Key(content, "id");
  if (!id) return badKey("id", "int32");
  if (command == "cnt.rlt") {
    // "ord" is always 0; other orders are not offered, but a mistyped one is
    // still a bad request.
    if (content.containsKey("ord") && !int32Key(content, "ord")) return badKey("ord", "int32");
    return listAnswer(catalogue_.relatedGames(*id, page));
  }
  return listAnswer(catalogue_.categoryGames(*id, page));  // "cnt.li..."
}

ORVDataObjectPtr StoreCommands::detail(const ORVDataObject& content) const {
  const auto id = int32Key(content, "id");
  if (!id) return badKey("id", "int32");
  const auto d = catalogue_.gameDetail(*id);
  if (!d) return failure(kNotFound, "Không tìm thấy trò chơi");
  std::string gallery;
  for (const auto& url : d->gallery) gallery += url + ",";  // each URL followed by ","
  return ORVDataObject::builder().putString(gallery, "gll").putString(d->description, "des").build();
}

// "ec" is the status itself here, so a request without a usable number is
// answered "not registered": it must never read as subscribed (1), which a
// bad-request code of 1 would.
ORVDataObjectPtr StoreCommands::status(const ORVDataObject& content) const {
  const auto msisdn = stringKey(content, "msi");
  if (!msisdn || !OtpService::isValidMsisdn(*msisdn)) {
    return failure(kNotRegistered, "Không xác định được số thuê bao. Vui lòng đăng nhập lại.");
  }
  const int32_t s = catalogue_.subscriberStatus(*msisdn);
  return failure(s, statusText(s));
}

ORVDataObjectPtr StoreCommands::subscribe(const ORVDataObject& content, std::string_view peer) const {
  const auto msisdn = stringKey(content, "msi");
  if (!msisdn) return badKey("msi", "string");
  if (!OtpService::isValidMsisdn(*msisdn)) {
    return failure(kBadRequest, "Quý khách cần đăng nhập bằng số điện thoại để đăng ký dịch vụ.");
  }
  if (!catalogue_.registerSubscription(*msisdn, nowMillis())) {
    return failure(kServerError, "Hệ thống đang bận, vui lòng thử lại sau.");
  }
  orv::log("StoreCommands::subscribe", *msisdn + " subscribed from " + std::string(peer));
  return ORVDataObject::builder()
      .putString("Đăng ký dịch vụ thành công. Chúc quý khách chơi game vui vẻ!", "em")
      .build();
}

ORVDataObjectPtr StoreCommands::buy(const ORVDataObject& content, std::string_view peer) const {
  const auto id = int32Key(content, "id");
  if (!id) return badKey("id", "int32");
  const auto price = int32Key(content, "pri");
  if (!price) return badKey("pri", "int32");
  const auto title = stringKey(content, "tl");
  if (!title) return badKey("tl", "string");
  const auto msisdn = stringKey(content, "msi");
  if (!msisdn) return badKey("msi", "string");
  const auto partner = stringKey(content, "par");
  if (!partner) return badKey("par", "string");

  const auto game = catalogue_.gameDetail(*id);
  if (!game) return failure(kNotFound, "Không tìm thấy trò chơi");
  // The catalogue's price is charged, never the one the client sends; when
  // they differ the subscriber saw a stale price and is asked to look again.
  if (*price != game->game.price) {
    return failure(kPriceChanged, "Giá trò chơi đã thay đổi. Vui lòng tải lại trang và thử lại.");
  }
  if (!OtpService::isValidMsisdn(*msisdn)) {
    return failure(kNotRegistered, "Quý khách cần đăng nhập bằng số điện thoại để tải game.");
  }
  if (game->game.price > 0) {
    const int32_t s = catalogue_.subscriberStatus(*msisdn);
    if (s != kSubscribed) return failure(s == kRenewalDue ? kRenewalDue : kNotRegistered, statusText(s));
  }
  if (catalogue_.recordPurchase(*msisdn, *id, game->game.price, nowMillis()) == 0) {
    return failure(kServerError, "Hệ thống đang bận, vui lòng thử lại sau.");
  }
  orv::log("StoreCommands::buy", *msisdn + " bought " + std::to_string(*id) + " for " +
                                     std::to_string(game->game.price) + " from " + std::string(peer));
  return ORVDataObject::builder().putString(catalogue_.mediaBaseUrl() + "download/" + std::to_string(*id), "rs").build();
}

}  // namespace orv::server
