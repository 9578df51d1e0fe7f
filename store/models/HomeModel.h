#pragma once
// What the home screen shows, without any widget: the banner games of the
// "hm" answer, and per section of the "hm.vip" answer its header and its
// games. Answers only append; the scrollable grid height grows by 432 points
// per section. Also remembers the subscription status the screen last saw,
// so that coming back to it after a change refreshes the side menu once.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/records/Game.h"
#include "store/records/GameHeader.h"

class ORVDataObject;

namespace orv::store {

class HomeModel {
 public:
  static constexpr double kSectionHeight = 432.0;
  // Game cell size and section insets of the grid, in points.
  static constexpr double kCellWidth = 100.0;
  static constexpr double kCellHeight = 188.0;
  static constexpr double kSectionInsetLeft = 5.0;
  static constexpr double kSectionInsetRight = 5.0;

  enum class Change {
    None,      // a failure, no entries, or a command that is not ours
    Slider,    // banner games were appended
    Sections,  // sections were appended
  };

  // Reads an answer of "hm" (banners) or of any other command delivered to
  // the "hm" registration (the sections of "hm.vip"). A content holding "ec"
  // or without entries in "rs" changes nothing.
  Change addAnswer(std::string_view command, const ORVDataObject* content);

  const std::vector<Game>& slider() const { return slider_; }
  const std::vector<GameHeader>& headers() const { return headers_; }
  const std::vector<std::vector<Game>>& sections() const { return sections_; }
  double mainHeight() const { return mainHeight_; }

  // The banner at `index` or the game at (section, row); null when out of range.
  const Game* bannerAt(std::size_t index) const;
  const Game* gameAt(std::size_t section, std::size_t row) const;

  // The navigation parameters "cmd", "id", "tl" (in that order) that the
  // "more" button of `section` writes; empty for a section that does not exist.
  std::vector<std::pair<std::string, std::string>> moreParameters(std::size_t section) const;

  // The status last seen by the screen.
  int32_t currentStatus() const { return currentStatus_; }
  void setCurrentStatus(int32_t status) { currentStatus_ = status; }
  // True (and remembered) when `status` differs from the one last seen.
  bool noticeStatus(int32_t status);

 private:
  std::vector<Game> slider_;
  std::vector<GameHeader> headers_;
  std::vector<std::vector<Game>> sections_;
  double mainHeight_ = 0.0;
  int32_t currentStatus_ = 0;
};

}  // namespace orv::store
