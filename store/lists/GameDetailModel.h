#pragma once
// The game detail page without Qt (`GameDetailViewController` renders it):
// the game read back from the detail parameters, its two requests, the
// description text, the gallery, the stars, the related-games strip, the
// purchase answers and the share rule.
//
// Gallery: "gll" is picture URLs each followed by ","; the text is split at
// every "," and the piece after the last "," is never shown (so a last URL
// without its "," is dropped). When the first piece is shorter than 6
// characters, or no page is left, the icon is shown instead, 155 x 155 and
// centred (a single URL without its "," would otherwise leave the gallery
// blank).
//
// Purchase ("a.buy") answers: "ec" 98 / 99 -> the subscription offer (tag
// 996, "Bỏ qua" and "Gia hạn" / "Đăng ký"); any other "ec" -> "em" in a plain
// alert; "rs" an http or https link -> opened; "rs" empty, or a link of any
// other scheme (a "file:" or "javascript:" link from a tampered answer must
// not be handed to the desktop) -> the broken-link text; no "rs" -> nothing.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/records/Game.h"

class ORVDataObject;
class ORVRequest;
using ORVRequestPtr = std::shared_ptr<ORVRequest>;

namespace orv {
class SettingsStore;
}

namespace orv::store {

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

class GameDetailModel {
 public:
  static constexpr int kPageWidth = 320;
  static constexpr int kPageHeight = 860;
  static constexpr int kGalleryWidth = 320;
  static constexpr int kGalleryHeight = 155;
  static constexpr int kIconFallbackSize = 155;
  static constexpr int kCardWidth = 106;
  static constexpr int kCardHeight = 152;
  static constexpr int kCardStep = 104;
  static constexpr const char* kTitle = "CHI TIẾT";
  static constexpr const char* kBrokenLinkText = "Đường dẫn tải file cài đặt bị lỗi. Hãy thử lại!";
  static constexpr const char* kShareRefusedText = "Chức năng này chỉ sử dụng cho các game miễn phí!";
  static constexpr const char* kSharePath = "/mobile/share/share.html?id=";

  // From the detail parameters "id", "tl", "par", "dlc", "ico", "rat", "sms", "pri".
  static GameDetailModel fromSettings(const SettingsStore& store);
  explicit GameDetailModel(std::string gameId, Game game);

  const std::string& gameId() const { return gameId_; }
  const Game& game() const { return game_; }
  bool hasDetail() const { return hasDetail_; }
  const std::vector<Game>& otherGames() const { return otherGames_; }

  // "cnt.dt" (id) and "cnt.rlt" (pf, ord=0, ps=10, pi=0, id), once: empty
  // from the second call on.
  std::vector<ORVRequestPtr> firstRequests();
  bool isFirstLoad() const { return firstLoad_; }
  // "a.buy" with id, pri, tl, msi, par; null for a guest (empty msisdn).
  ORVRequestPtr buyRequest(const std::string& msisdn) const;

  // "cnt.dt": false (nothing changed) when it failed.
  bool receiveDetail(const ORVDataObject& content);
  // "cnt.rlt": the related games appended; none when it failed.
  size_t receiveRelated(const ORVDataObject& content);

  // The description as text ("" before the detail arrived or without "des").
  std::string descriptionText() const;
  // The gallery pages' picture URLs; empty means: show the icon instead.
  static std::vector<std::string> galleryPictures(const std::string& gallery);
  std::vector<std::string> galleryPictures() const { return galleryPictures(game_.gallery()); }

  // Stars shown for a rating: star K is hidden when the rating is at most K - 1.
  static int visibleStars(double rating);
  static bool starVisible(double rating, int star) { return rating > star - 1; }

  // The related strip: card i and the strip's content size.
  static Rect cardFrame(size_t index) {
    return Rect{static_cast<int>(index) * kCardStep, 0, kCardWidth, kCardHeight};
  }
  static Rect stripContent(size_t count) { return Rect{0, 0, static_cast<int>(count) * kCardWidth, kCardHeight}; }

  struct PurchaseOutcome {
    enum class Action { None, OpenLink, BrokenLink, Offer, Alert };
    Action action = Action::None;
    std::string text;     // the link, the alert text or the offer's text
    int32_t code = 0;     // "ec" of an offer
    std::string button1;  // the offer's second button
  };
  static PurchaseOutcome purchaseOutcome(const ORVDataObject& content);
  static bool isOpenableLink(const std::string& link);

  struct ShareOutcome {
    bool allowed = false;  // false: the refusal alert
    std::string name;
    std::string link;
  };
  // Free games only. `shareBase` is the share page server ("http://host:port").
  ShareOutcome share(const std::string& shareBase) const;

 private:
  std::string gameId_;
  Game game_;
  bool firstLoad_ = true;
  bool hasDetail_ = false;
  std::vector<Game> otherGames_;
};

}  // namespace orv::store
