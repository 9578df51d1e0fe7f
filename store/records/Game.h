#pragma once
// One game of the catalogue as the screens show it: filled from a game entry
// of a list answer ("rs" of "hm", "cnt.li", ... or "lt" of a home section).
// A plain value holder: it validates nothing. A key missing from the entry
// leaves its field at the typed default (0, 0.0, ""), so an entry without
// "pri" is a free game and one without "rat" has no stars. `body` and
// `gallery` are not part of an entry; the detail screen sets them from the
// "cnt.dt" answer.

#include <cstdint>
#include <string>

class ORVDataObject;

namespace orv::store {

class Game {
 public:
  Game() = default;

  // Reads "id", "tl", "par", "sms", "pri", "ico", "ver", "rtc", "rat", "dlc", "stt".
  static Game initWithORVData(const ORVDataObject& entry);

  int32_t id() const { return id_; }
  void setId(int32_t id) { id_ = id; }
  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }
  const std::string& partner() const { return partner_; }
  void setPartner(std::string partner) { partner_ = std::move(partner); }
  // The provider line shown under the name ("sms").
  const std::string& code() const { return code_; }
  void setCode(std::string code) { code_ = std::move(code); }
  // 0 means free.
  int32_t price() const { return price_; }
  void setPrice(int32_t price) { price_ = price; }
  const std::string& icon() const { return icon_; }
  void setIcon(std::string icon) { icon_ = std::move(icon); }
  const std::string& version() const { return version_; }
  void setVersion(std::string version) { version_ = std::move(version); }
  int32_t ratingCount() const { return ratingCount_; }
  void setRatingCount(int32_t count) { ratingCount_ = count; }
  // 0 to 5.
  double ratingTotal() const { return ratingTotal_; }
  void setRatingTotal(double rating) { ratingTotal_ = rating; }
  int32_t downloadCount() const { return downloadCount_; }
  void setDownloadCount(int32_t count) { downloadCount_ = count; }
  int32_t status() const { return status_; }
  void setStatus(int32_t status) { status_ = status; }
  // HTML description ("des" of "cnt.dt").
  const std::string& body() const { return body_; }
  void setBody(std::string body) { body_ = std::move(body); }
  // Picture URLs, each followed by "," ("gll" of "cnt.dt").
  const std::string& gallery() const { return gallery_; }
  void setGallery(std::string gallery) { gallery_ = std::move(gallery); }

  bool operator==(const Game&) const = default;

 private:
  int32_t id_ = 0;
  std::string name_;
  std::string partner_;
  std::string code_;
  int32_t price_ = 0;
  std::string icon_;
  std::string version_;
  int32_t ratingCount_ = 0;
  double ratingTotal_ = 0.0;
  int32_t downloadCount_ = 0;
  int32_t status_ = 0;
  std::string body_;
  std::string gallery_;
};

}  // namespace orv::store
