#include "server/store/Catalogue.h"

#include <sqlite3.h>

#include <algorithm>
#include <map>

#include "platform/Log.h"
#include "server/store/TextFolding.h"

namespace orv::server {

// A prepared statement that finalizes itself. Binding indexes are 1-based as
// in SQLite.
class Catalogue::Statement {
 public:
  Statement(sqlite3* db, const std::string& sql) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) {
      orv::log("Catalogue::Statement", std::string("prepare failed: ") + sqlite3_errmsg(db));
      stmt_ = nullptr;
    }
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  Statement& bind(int i, int64_t v) {
    sqlite3_bind_int64(stmt_, i, v);
    return *this;
  }
  Statement& bind(int i, double v) {
    sqlite3_bind_double(stmt_, i, v);
    return *this;
  }
  Statement& bind(int i, std::string_view v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  // True while a row is available.
  bool step() { return stmt_ && sqlite3_step(stmt_) == SQLITE_ROW; }
  // Runs a statement that returns no rows.
  bool run() {
    if (!stmt_) return false;
    const int rc = sqlite3_step(stmt_);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
      orv::log("Catalogue::Statement", std::string("step failed: ") + sqlite3_errmsg(sqlite3_db_handle(stmt_)));
      return false;
    }
    return true;
  }
  int64_t int64(int col) const { return sqlite3_column_int64(stmt_, col); }
  int32_t int32(int col) const { return sqlite3_column_int(stmt_, col); }
  double real(int col) const { return sqlite3_column_double(stmt_, col); }
  std::string text(int col) const {
    const auto* p = sqlite3_column_text(stmt_, col);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(stmt_, col)))
             : std::string();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

namespace {

// Each entry migrates the schema from version (index) to (index + 1).
constexpr const char* kMigrations[] = {
    // 0 -> 1: catalogue, subscribers, registrations.
    R"sql(
    CREATE TABLE categories (
      id INTEGER PRIMARY KEY, title TEXT NOT NULL, icon_path TEXT NOT NULL DEFAULT '',
      position INTEGER NOT NULL);
    CREATE TABLE games (
      id INTEGER PRIMARY KEY, title TEXT NOT NULL, title_folded TEXT NOT NULL,
      partner TEXT NOT NULL, provider TEXT NOT NULL, provider_folded TEXT NOT NULL,
      price INTEGER NOT NULL, icon_path TEXT NOT NULL, banner_path TEXT NOT NULL,
      version TEXT NOT NULL, rating_count INTEGER NOT NULL, rating REAL NOT NULL,
      downloads INTEGER NOT NULL, status INTEGER NOT NULL,
      category_id INTEGER NOT NULL REFERENCES categories(id),
      description TEXT NOT NULL, is_banner INTEGER NOT NULL, released_at INTEGER NOT NULL);
    CREATE INDEX games_category ON games(category_id, downloads DESC, id);
    CREATE TABLE gallery (
      game_id INTEGER NOT NULL REFERENCES games(id), position INTEGER NOT NULL,
      path TEXT NOT NULL, PRIMARY KEY (game_id, position));
    CREATE TABLE sections (
      command TEXT PRIMARY KEY, title TEXT NOT NULL, rule TEXT NOT NULL,
      position INTEGER NOT NULL);
    CREATE TABLE subscribers (
      msisdn TEXT PRIMARY KEY, status INTEGER NOT NULL);
    CREATE TABLE registrations (
      id INTEGER PRIMARY KEY, msisdn TEXT NOT NULL, requested_at INTEGER NOT NULL);
    CREATE TABLE device_registrations (
      id INTEGER PRIMARY KEY, package_name TEXT NOT NULL, version_name TEXT NOT NULL,
      version_code INTEGER NOT NULL, msisdn TEXT NOT NULL, imei TEXT NOT NULL,
      reg_id TEXT NOT NULL, os TEXT NOT NULL, email TEXT NOT NULL,
      received_at INTEGER NOT NULL);
    )sql",
    // 1 -> 2: purchases.
    R"sql(
    CREATE TABLE purchases (
      id INTEGER PRIMARY KEY, msisdn TEXT NOT NULL, game_id INTEGER NOT NULL,
      price INTEGER NOT NULL, bought_at INTEGER NOT NULL);
    )sql",
};
static_assert(std::size(kMigrations) == Catalogue::kSchemaVersion);

// How each section rule orders (and filters) the games it lists. Rules come
// from the database, so an unknown one falls back to the newest games rather
// than being pasted into SQL.
std::string sectionClause(const std::string& rule) {
  static const std::map<std::string, std::string> kRules{
      {"new", "ORDER BY released_at DESC, id"},
      {"recommended", "ORDER BY rating DESC, rating_count DESC, id"},
      {"free", "WHERE price = 0 ORDER BY downloads DESC, id"},
      {"top", "ORDER BY downloads DESC, id"},
  };
  const auto it = kRules.find(rule);
  return it != kRules.end() ? it->second : kRules.at("new");
}

constexpr const char* kGameColumns =
    "id, title, partner, provider, price, icon_path, version, rating_count, rating, downloads, "
    "status, category_id";

// Escapes the LIKE wildcards of user text (with '\' as the escape character).
std::string likePattern(std::string_view folded) {
  std::string p = "%";
  for (const char c : folded) {
    if (c == '%' || c == '_' || c == '\\') p.push_back('\\');
    p.push_back(c);
  }
  p.push_back('%');
  return p;
}

}  // namespace

std::unique_ptr<Catalogue> Catalogue::open(const std::filesystem::path& path) {
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                                 nullptr);
  if (rc != SQLITE_OK) {
    orv::log("Catalogue::open", "cannot open " + path.string() + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, 2000);
  std::unique_ptr<Catalogue> catalogue(new Catalogue(db));
  if (!catalogue->migrate()) return nullptr;
  return catalogue;
}

Catalogue::Catalogue(sqlite3* db) : db_(db) {}

Catalogue::~Catalogue() { sqlite3_close(db_); }

bool Catalogue::exec(const char* sql) const {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    orv::log("Catalogue::exec", std::string("failed: ") + (error ? error : "?"));
    sqlite3_free(error);
    return false;
  }
  return true;
}

bool Catalogue::migrate() {
  std::lock_guard lock(mutex_);
  exec("PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON;");
  int version = 0;
  {
    Statement s(db_, "PRAGMA user_version");
    if (s.step()) version = s.int32(0);
  }
  if (version > kSchemaVersion) {
    orv::log("Catalogue::migrate",
             "schema version " + std::to_string(version) + " is newer than " + std::to_string(kSchemaVersion));
    return false;
  }
  for (; version < kSchemaVersion; ++version) {
    // Each step and its version bump commit together, so a crash never leaves
    // a half-migrated file.
    const std::string sql = std::string("BEGIN;") + kMigrations[version] +
                            "PRAGMA user_version=" + std::to_string(version + 1) + "; COMMIT;";
    if (!exec(sql.c_str())) {
      exec("ROLLBACK;");
      return false;
    }
  }
  return true;
}

void Catalogue::setMediaBaseUrl(std::string baseUrl) {
  if (!baseUrl.empty() && baseUrl.back() != '/') baseUrl.push_back('/');
  std::lock_guard lock(mutex_);
  mediaBaseUrl_ = std::move(baseUrl);
}

std::string Catalogue::mediaBaseUrl() const {
  std::lock_guard lock(mutex_);
  return mediaBaseUrl_;
}

std::string Catalogue::url(const std::string& relativePath) const {
  if (relativePath.empty()) return mediaBaseUrl_;  // the bare base URL: "no picture"
  if (mediaBaseUrl_.empty()) return relativePath;
  return mediaBaseUrl_ + "media/" + relativePath;
}

int Catalogue::schemaVersion() const {
  std::lock_guard lock(mutex_);
  Statement s(db_, "PRAGMA user_version");
  return s.step() ? s.int32(0) : -1;
}

bool Catalogue::isEmpty() const {
  std::lock_guard lock(mutex_);
  Statement s(db_, "SELECT COUNT(*) FROM games");
  return !s.step() || s.int64(0) == 0;
}

bool Catalogue::insertCatalogue(const std::vector<Category>& categories, const std::vector<NewGame>& games,
                                const std::vector<NewSection>& sections) {
  std::lock_guard lock(mutex_);
  if (!exec("BEGIN")) return false;
  bool ok = true;
  int position = 0;
  for (const auto& c : categories) {
    Statement s(db_, "INSERT INTO categories(id, title, icon_path, position) VALUES(?,?,?,?)");
    ok = ok && s.bind(1, int64_t{c.id}).bind(2, c.title).bind(3, c.icon).bind(4, int64_t{position++}).run();
  }
  for (const auto& n : games) {
    const Game& g = n.game;
    Statement s(db_,
                "INSERT INTO games(id, title, title_folded, partner, provider, provider_folded, price, icon_path,"
                " banner_path, version, rating_count, rating, downloads, status, category_id, description,"
                " is_banner, released_at) VALUES(NULLIF(?,0),?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    ok = ok && s.bind(1, int64_t{g.id})
                   .bind(2, g.title)
                   .bind(3, TextFolding::fold(g.title))
                   .bind(4, g.partner)
                   .bind(5, g.provider)
                   .bind(6, TextFolding::fold(g.provider))
                   .bind(7, int64_t{g.price})
                   .bind(8, n.iconPath)
                   .bind(9, n.bannerPath)
                   .bind(10, g.version)
                   .bind(11, int64_t{g.ratingCount})
                   .bind(12, g.rating)
                   .bind(13, int64_t{g.downloads})
                   .bind(14, int64_t{g.status})
                   .bind(15, int64_t{g.categoryId})
                   .bind(16, n.description)
                   .bind(17, int64_t{n.banner ? 1 : 0})
                   .bind(18, n.releasedAt)
                   .run();
    const int64_t id = sqlite3_last_insert_rowid(db_);
    int pos = 0;
    for (const auto& p : n.galleryPaths) {
      Statement gs(db_, "INSERT INTO gallery(game_id, position, path) VALUES(?,?,?)");
      ok = ok && gs.bind(1, id).bind(2, int64_t{pos++}).bind(3, p).run();
    }
  }
  position = 0;
  for (const auto& sec : sections) {
    Statement s(db_, "INSERT INTO sections(command, title, rule, position) VALUES(?,?,?,?)");
    ok = ok && s.bind(1, sec.command).bind(2, sec.title).bind(3, sec.rule).bind(4, int64_t{position++}).run();
  }
  if (!ok) {
    exec("ROLLBACK");
    return false;
  }
  return exec("COMMIT");
}

std::vector<std::string> Catalogue::picturePaths() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  Statement s(db_,
              "SELECT icon_path FROM games UNION SELECT banner_path FROM games UNION SELECT path FROM gallery"
              " UNION SELECT icon_path FROM categories");
  while (s.step()) {
    auto p = s.text(0);
    if (!p.empty()) out.push_back(std::move(p));
  }
  return out;
}

std::vector<Category> Catalogue::categories() const {
  std::lock_guard lock(mutex_);
  std::vector<Category> out;
  Statement s(db_, "SELECT id, title, icon_path FROM categories ORDER BY position");
  while (s.step()) out.push_back(Category{s.int32(0), s.text(1), url(s.text(2))});
  return out;
}

// Runs "SELECT <game columns> FROM games <whereAndOrder> LIMIT ? OFFSET ?";
// `bind` binds the placeholders of `whereAndOrder` (from 1), the page follows.
std::vector<Game> Catalogue::queryGames(const std::string& whereAndOrder, Page page,
                                        const std::function<void(Statement&)>& bind) const {
  std::vector<Game> out;
  if (page.size <= 0 || page.index < 0) return out;
  const int64_t size = std::min(page.size, kMaxPageSize);
  const int64_t offset = size * int64_t{page.index};
  Statement s(db_, std::string("SELECT ") + kGameColumns + " FROM games " + whereAndOrder + " LIMIT ? OFFSET ?");
  if (!s.ok()) return out;
  bind(s);
  const int limitIndex = static_cast<int>(std::count(whereAndOrder.begin(), whereAndOrder.end(), '?')) + 1;
  s.bind(limitIndex, size).bind(limitIndex + 1, offset);
  while (s.step()) {
    Game g;
    g.id = s.int32(0);
    g.title = s.text(1);
    g.partner = s.text(2);
    g.provider = s.text(3);
    g.price = s.int32(4);
    g.icon = url(s.text(5));
    g.version = s.text(6);
    g.ratingCount = s.int32(7);
    g.rating = s.real(8);
    g.downloads = s.int32(9);
    g.status = s.int32(10);
    g.categoryId = s.int32(11);
    out.push_back(std::move(g));
  }
  return out;
}

std::vector<Game> Catalogue::bannerGames(Page page) const {
  std::lock_guard lock(mutex_);
  return queryGames("WHERE is_banner = 1 ORDER BY released_at DESC, id", page, [](Statement&) {});
}

std::vector<std::string> Catalogue::sectionCommands() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  Statement s(db_, "SELECT command FROM sections ORDER BY position");
  while (s.step()) out.push_back(s.text(0));
  return out;
}

std::vector<Section> Catalogue::homeSections(Page page) const {
  std::lock_guard lock(mutex_);
  std::vector<Section> out;
  if (page.size <= 0 || page.index < 0) return out;
  const int64_t size = std::min(page.size, kMaxPageSize);
  Statement s(db_, "SELECT command, title, rule FROM sections ORDER BY position LIMIT ? OFFSET ?");
  s.bind(1, size).bind(2, size * int64_t{page.index});
  while (s.step()) {
    Section sec{s.text(0), s.text(1), {}};
    sec.games = queryGames(sectionClause(s.text(2)), Page{kSectionGames, 0}, [](Statement&) {});
    out.push_back(std::move(sec));
  }
  return out;
}

std::optional<std::vector<Game>> Catalogue::sectionGames(std::string_view command, Page page) const {
  std::lock_guard lock(mutex_);
  Statement s(db_, "SELECT rule FROM sections WHERE command = ?");
  s.bind(1, command);
  if (!s.step()) return std::nullopt;
  return queryGames(sectionClause(s.text(0)), page, [](Statement&) {});
}

std::vector<Game> Catalogue::categoryGames(int32_t categoryId, Page page) const {
  std::lock_guard lock(mutex_);
  return queryGames("WHERE category_id = ? ORDER BY downloads DESC, id", page,
                    [&](Statement& s) { s.bind(1, int64_t{categoryId}); });
}

std::vector<Game> Catalogue::search(std::string_view text, Page page) const {
  const std::string folded = TextFolding::fold(text);
  if (folded.find_first_not_of(" \t") == std::string::npos) return {};
  const std::string pattern = likePattern(folded);
  std::lock_guard lock(mutex_);
  return queryGames(
      "WHERE title_folded LIKE ? ESCAPE '\\' OR provider_folded LIKE ? ESCAPE '\\'"
      " ORDER BY (title_folded LIKE ? ESCAPE '\\') DESC, downloads DESC, id",
      page, [&](Statement& s) { s.bind(1, pattern).bind(2, pattern).bind(3, pattern); });
}

std::vector<Game> Catalogue::relatedGames(int32_t gameId, Page page) const {
  std::lock_guard lock(mutex_);
  return queryGames(
      "WHERE category_id = (SELECT category_id FROM games WHERE id = ?) AND id <> ?"
      " ORDER BY downloads DESC, id",
      page, [&](Statement& s) { s.bind(1, int64_t{gameId}).bind(2, int64_t{gameId}); });
}

std::optional<GameDetail> Catalogue::gameDetail(int32_t gameId) const {
  std::lock_guard lock(mutex_);
  auto games = queryGames("WHERE id = ?", Page{1, 0}, [&](Statement& s) { s.bind(1, int64_t{gameId}); });
  if (games.empty()) return std::nullopt;
  GameDetail d;
  d.game = std::move(games.front());
  {
    Statement s(db_, "SELECT description, banner_path FROM games WHERE id = ?");
    s.bind(1, int64_t{gameId});
    if (s.step()) {
      d.description = s.text(0);
      d.banner = url(s.text(1));
    }
  }
  Statement s(db_, "SELECT path FROM gallery WHERE game_id = ? ORDER BY position");
  s.bind(1, int64_t{gameId});
  while (s.step()) d.gallery.push_back(url(s.text(0)));
  return d;
}

int32_t Catalogue::subscriberStatus(std::string_view msisdn) const {
  std::lock_guard lock(mutex_);
  Statement s(db_, "SELECT status FROM subscribers WHERE msisdn = ?");
  s.bind(1, msisdn);
  return s.step() ? s.int32(0) : kNotRegistered;
}

bool Catalogue::setSubscriberStatus(std::string_view msisdn, int32_t status) {
  std::lock_guard lock(mutex_);
  Statement s(db_,
              "INSERT INTO subscribers(msisdn, status) VALUES(?, ?)"
              " ON CONFLICT(msisdn) DO UPDATE SET status = excluded.status");
  return s.bind(1, msisdn).bind(2, int64_t{status}).run();
}

bool Catalogue::registerSubscription(std::string_view msisdn, int64_t atMillis) {
  std::lock_guard lock(mutex_);
  if (!exec("BEGIN")) return false;
  Statement r(db_, "INSERT INTO registrations(msisdn, requested_at) VALUES(?, ?)");
  Statement s(db_,
              "INSERT INTO subscribers(msisdn, status) VALUES(?, 1)"
              " ON CONFLICT(msisdn) DO UPDATE SET status = 1");
  const bool ok = r.bind(1, msisdn).bind(2, atMillis).run() && s.bind(1, msisdn).run();
  exec(ok ? "COMMIT" : "ROLLBACK");
  return ok;
}

int64_t Catalogue::subscriptionRequestCount(std::string_view msisdn) const {
  std::lock_guard lock(mutex_);
  Statement s(db_, "SELECT COUNT(*) FROM registrations WHERE msisdn = ?");
  s.bind(1, msisdn);
  return s.step() ? s.int64(0) : 0;
}

int64_t Catalogue::recordPurchase(std::string_view msisdn, int32_t gameId, int32_t price, int64_t atMillis) {
  std::lock_guard lock(mutex_);
  Statement s(db_, "INSERT INTO purchases(msisdn, game_id, price, bought_at) VALUES(?,?,?,?)");
  if (!s.bind(1, msisdn).bind(2, int64_t{gameId}).bind(3, int64_t{price}).bind(4, atMillis).run()) return 0;
  return sqlite3_last_insert_rowid(db_);
}

bool Catalogue::storeDeviceRegistration(const DeviceRegistration& r, int64_t atMillis) {
  std::lock_guard lock(mutex_);
  Statement s(db_,
              "INSERT INTO device_registrations(package_name, version_name, version_code, msisdn, imei, reg_id,"
              " os, email, received_at) VALUES(?,?,?,?,?,?,?,?,?)");
  return s.bind(1, r.packageName)
      .bind(2, r.versionName)
      .bind(3, int64_t{r.versionCode})
      .bind(4, r.msisdn)
      .bind(5, r.imei)
      .bind(6, r.regId)
      .bind(7, r.os)
      .bind(8, r.email)
      .bind(9, atMillis)
      .run();
}

std::vector<DeviceRegistration> Catalogue::deviceRegistrations() const {
  std::lock_guard lock(mutex_);
  std::vector<DeviceRegistration> out;
  Statement s(db_,
              "SELECT package_name, version_name, version_code, msisdn, imei, reg_id, os, email"
              " FROM device_registrations ORDER BY id");
  while (s.step()) {
    out.push_back(DeviceRegistration{s.text(0), s.text(1), s.int32(2), s.text(3), s.text(4), s.text(5), s.text(6),
                                     s.text(7)});
  }
  return out;
}

}  // namespace orv::server
