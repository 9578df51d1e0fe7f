#pragma once
// The store's catalogue, subscribers and registrations in one SQLite file.
//
// Opening a file creates or migrates its schema (the version lives in
// PRAGMA user_version). Queries return plain structs; picture paths are kept
// relative to the media folder in the database and turned into absolute URLs
// with the media base URL when answered, so the same file serves on any port.
// One connection guarded by one mutex: every call may come from any thread.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace orv::server {

// A game as the lists show it.
struct Game {
  int32_t id = 0;
  std::string title;        // "tl"
  std::string partner;      // "par"
  std::string provider;     // "sms": the line under the name
  int32_t price = 0;        // "pri", 0 = free
  std::string icon;         // "ico", absolute URL
  std::string version;      // "ver"
  int32_t ratingCount = 0;  // "rtc"
  double rating = 0;        // "rat", 0 to 5
  int32_t downloads = 0;    // "dlc"
  int32_t status = 1;       // "stt": 1 published
  int32_t categoryId = 0;
};

// What the detail page adds to a game.
struct GameDetail {
  Game game;
  std::string description;           // "des", HTML
  std::vector<std::string> gallery;  // absolute picture URLs
  std::string banner;                // absolute URL of the wide picture
};

struct Category {
  int32_t id = 0;
  std::string title;
  std::string icon;  // absolute URL; the bare media base URL when it has none
};

// A home section: its title, the command that lists it in full, some games.
struct Section {
  std::string command;
  std::string title;
  std::vector<Game> games;
};

// A page of a list; out-of-range values give an empty page.
struct Page {
  int32_t size = 10;
  int32_t index = 0;
};

// The device registration form, as received.
struct DeviceRegistration {
  std::string packageName;
  std::string versionName;
  int32_t versionCode = 0;
  std::string msisdn;
  std::string imei;
  std::string regId;
  std::string os;
  std::string email;
};

// Subscription status of a number.
enum SubscriberStatus : int32_t {
  kSubscribed = 1,
  kRenewalDue = 98,
  kNotRegistered = 99,
};

class Catalogue {
 public:
  // Largest page a list answers: a client asking for more gets this many.
  static constexpr int32_t kMaxPageSize = 50;
  // Games in each home section.
  static constexpr int32_t kSectionGames = 6;
  // The newest schema this build knows.
  static constexpr int kSchemaVersion = 2;

  // Opens (creating if needed) the database at `path` and migrates it. The
  // result is nullptr, with a log line, when the file cannot be opened or
  // carries a newer schema than this build knows.
  static std::unique_ptr<Catalogue> open(const std::filesystem::path& path);
  ~Catalogue();
  Catalogue(const Catalogue&) = delete;
  Catalogue& operator=(const Catalogue&) = delete;

  // "http://host:port/": the media server's base URL. Pictures are answered
  // as base + "media/" + their path. Empty until set: then paths stay relative.
  void setMediaBaseUrl(std::string baseUrl);
  std::string mediaBaseUrl() const;

  int schemaVersion() const;
  bool isEmpty() const;

  // --- catalogue (filled by CatalogueSeeder) ---
  struct NewGame {
    Game game;  // id 0 = assign
    std::string description;
    std::string iconPath;
    std::string bannerPath;
    std::vector<std::string> galleryPaths;
    bool banner = false;  // shown in the home slider
    int64_t releasedAt = 0;
  };
  // A home section and the rule that lists it: "new" (newest first),
  // "recommended" (best rated), "free" (free games, most downloaded) or "top"
  // (most downloaded).
  struct NewSection {
    std::string command;
    std::string title;
    std::string rule;
  };
  // Category icons are given as paths relative to the media folder ("" = none).
  // All inserts run in one transaction.
  bool insertCatalogue(const std::vector<Category>& categories, const std::vector<NewGame>& games,
                       const std::vector<NewSection>& sections);
  // Relative paths of every picture the database names.
  std::vector<std::string> picturePaths() const;

  // --- queries ---
  std::vector<Category> categories() const;
  std::vector<Game> bannerGames(Page page) const;
  // Home sections with up to kSectionGames games each.
  std::vector<Section> homeSections(Page page) const;
  // The command names of the home sections ("hm.new", ...).
  std::vector<std::string> sectionCommands() const;
  // The games of the section listed by `command`; nullopt for no such section.
  std::optional<std::vector<Game>> sectionGames(std::string_view command, Page page) const;
  std::vector<Game> categoryGames(int32_t categoryId, Page page) const;
  // Titles and providers containing `text`, ignoring case and diacritics.
  std::vector<Game> search(std::string_view text, Page page) const;
  // Other games of the same category, most downloaded first.
  std::vector<Game> relatedGames(int32_t gameId, Page page) const;
  std::optional<GameDetail> gameDetail(int32_t gameId) const;

  // --- subscribers ---
  // Status of a number; kNotRegistered for numbers not in the table.
  int32_t subscriberStatus(std::string_view msisdn) const;
  bool setSubscriberStatus(std::string_view msisdn, int32_t status);
  // Records a subscription request and makes the number subscribed.
  bool registerSubscription(std::string_view msisdn, int64_t atMillis);
  int64_t subscriptionRequestCount(std::string_view msisdn) const;
  // Records a purchase; returns its id, 0 on failure.
  int64_t recordPurchase(std::string_view msisdn, int32_t gameId, int32_t price, int64_t atMillis);

  // --- device registrations ---
  bool storeDeviceRegistration(const DeviceRegistration& registration, int64_t atMillis);
  std::vector<DeviceRegistration> deviceRegistrations() const;

 private:
  class Statement;
  explicit Catalogue(sqlite3* db);
  bool migrate();
  bool exec(const char* sql) const;
  std::string url(const std::string& relativePath) const;
  std::vector<Game> queryGames(const std::string& whereAndOrder, Page page,
                               const std::function<void(Statement&)>& bind) const;

  mutable std::mutex mutex_;
  sqlite3* db_;
  std::string mediaBaseUrl_;
};

}  // namespace orv::server
