#pragma once
// One row of the side menu: a catalogue category ("id", "tl", "ico" of a
// "cnt.cat" entry) or one of the menu's own rows, which carry the name of a
// local image in `icon` instead of a picture URL in `avatar`.

#include <cstdint>
#include <string>

namespace orv::store {

class GameCategory {
 public:
  GameCategory() = default;

  int32_t catId() const { return catId_; }
  void setCatId(int32_t id) { catId_ = id; }
  const std::string& catName() const { return catName_; }
  void setCatName(std::string name) { catName_ = std::move(name); }
  // URL of the category's icon picture.
  const std::string& avatar() const { return avatar_; }
  void setAvatar(std::string avatar) { avatar_ = std::move(avatar); }
  // Name of a local image.
  const std::string& icon() const { return icon_; }
  void setIcon(std::string icon) { icon_ = std::move(icon); }

  bool operator==(const GameCategory&) const = default;

 private:
  int32_t catId_ = 0;
  std::string catName_;
  std::string avatar_;
  std::string icon_;
};

}  // namespace orv::store
