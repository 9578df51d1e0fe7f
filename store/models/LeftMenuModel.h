#pragma once
// The rows of the side menu and what each does, without any widget.
//
// Rows, in order: the greeting (-1), the subscription action row (-99) when
// it applies, the status row (-2), the three fixed lists (-3, -4, -5), one row
// per category of the "cnt.cat" answer (ids from 0 up), and the support row
// (-6). Ids below zero are the menu's own rows. `updateMenu` later refreshes
// the greeting and the action row after the subscription status changed.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/records/GameCategory.h"

class ORVDataObject;

namespace orv::store {

class LeftMenuModel {
 public:
  static constexpr int32_t kGreetingId = -1;
  static constexpr int32_t kActionId = -99;
  static constexpr int32_t kStatusId = -2;
  static constexpr int32_t kMostDownloadedId = -3;
  static constexpr int32_t kNewestId = -4;
  static constexpr int32_t kRecommendedId = -5;
  static constexpr int32_t kSupportId = -6;

  // The local image of a category without an icon.
  static constexpr const char* kCategoryFallbackImage = "ic_support";

  enum class RowStyle {
    Greeting,  // blue bold text
    Action,    // white bold text on blue
    Plain,     // grey text, clear background
  };

  struct RowImage {
    enum class Kind { None, Local, Remote };
    Kind kind = Kind::None;
    std::string source;  // a local image name or a picture URL
  };

  // Ordered settings entries: "cmd", "id", "tl".
  using Parameters = std::vector<std::pair<std::string, std::string>>;

  struct RowAction {
    enum class Kind {
      Nothing,
      OpenSecondSignIn,  // a guest's action row
      SendRegister,      // "a.reg"
      SendStatus,        // "a.stt"
      TellNoMsisdn,      // a guest's status row: the "no_msisdn" alert
      OpenList,          // write `parameters`, push the grid list
    };
    Kind kind = Kind::Nothing;
    Parameters parameters;
  };

  // `mediaBase` is the deployment's media URL; an icon URL that is the media
  // server's bare base URL means "no icon".
  explicit LeftMenuModel(std::string mediaBase = {}) : mediaBase_(std::move(mediaBase)) {}

  // Builds the rows from a "cnt.cat" answer's content (null: no answer
  // content, fixed rows only), for the signed-in number and status. Replaces
  // any rows there were.
  void build(const ORVDataObject* content, const std::string& msisdn, int32_t status);

  // Refreshes the greeting and the action row after a status change. False
  // when there are no rows yet (nothing done).
  bool updateMenu(const std::string& msisdn, int32_t status);

  const std::vector<GameCategory>& rows() const { return rows_; }
  std::size_t count() const { return rows_.size(); }
  bool isEmpty() const { return rows_.empty(); }

  RowStyle styleForRow(std::size_t row) const;
  RowImage imageForRow(std::size_t row) const;
  // Every row but the first (the greeting) shows a selected background.
  static bool showsSelection(std::size_t row) { return row != 0; }
  RowAction actionForRow(std::size_t row, const std::string& msisdn) const;

  static std::string greeting(const std::string& msisdn);
  // True when `url` names no picture: empty, the media base itself, or the
  // bare origin of the media server ("scheme://host[:port]/").
  bool isBareMediaUrl(std::string_view url) const;

 private:
  static GameCategory makeRow(int32_t id, std::string name, std::string icon);
  static std::string actionTextAfterUpdate(const std::string& msisdn, int32_t status);

  std::string mediaBase_;
  std::vector<GameCategory> rows_;
};

}  // namespace orv::store
