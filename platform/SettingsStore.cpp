#include "platform/SettingsStore.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/Log.h"

namespace orv {
namespace {

std::function<void()>& beforeRenameHook() {
  static std::function<void()> hook;
  return hook;
}

std::mutex& standardMutex() {
  static std::mutex m;
  return m;
}

struct StandardSlot {
  std::filesystem::path chosen;  // empty: the XDG default
  std::shared_ptr<SettingsStore> store;
};

StandardSlot& standardSlot() {
  static StandardSlot slot;
  return slot;
}

std::filesystem::path defaultStandardFile() { return SettingsStore::configFolder() / "settings.json"; }

bool writeAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string errnoText() { return std::strerror(errno); }

}  // namespace

std::filesystem::path SettingsStore::configFolder() {
  std::filesystem::path base;
  if (const char* xdg = getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    base = xdg;
  } else if (const char* home = getenv("HOME"); home && *home) {
    base = std::filesystem::path(home) / ".config";
  } else {
    base = std::filesystem::temp_directory_path();
  }
  return base / "orv-store";
}

void SettingsStore::setBeforeRenameHookForTesting(std::function<void()> hook) {
  beforeRenameHook() = std::move(hook);
}

std::shared_ptr<SettingsStore> SettingsStore::open(std::filesystem::path file) {
  return std::make_shared<SettingsStore>(std::move(file));
}

std::shared_ptr<SettingsStore> SettingsStore::standard() {
  std::lock_guard lock(standardMutex());
  auto& slot = standardSlot();
  const std::filesystem::path file = slot.chosen.empty() ? defaultStandardFile() : slot.chosen;
  if (!slot.store || slot.store->file() != file) slot.store = open(file);
  return slot.store;
}

void SettingsStore::useStandardFile(std::filesystem::path file) {
  std::lock_guard lock(standardMutex());
  standardSlot().chosen = std::move(file);
  standardSlot().store.reset();
}

SettingsStore::SettingsStore(std::filesystem::path file) : file_(std::move(file)) {
  removeAbandonedTemporaryFiles();
  load();
}

std::filesystem::path SettingsStore::fileFolder() const { return file_.has_parent_path() ? file_.parent_path() : "."; }

// A writer killed between writing its temporary file and renaming it leaves
// the file behind. One older than a minute is nobody's any more: a live
// writer (this or another process) renames its own within moments.
void SettingsStore::removeAbandonedTemporaryFiles() const {
  const std::filesystem::path folder = fileFolder();
  const std::string prefix = file_.filename().string() + ".tmp-";
  const auto cutoff = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1);
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() != prefix.size() + 6 || !name.starts_with(prefix)) continue;
    std::error_code timeError;
    const auto written = it->last_write_time(timeError);
    if (timeError || written > cutoff) continue;
    std::error_code removeError;
    if (std::filesystem::remove(it->path(), removeError)) {
      log("SettingsStore::open", it->path().string() + ": removed a temporary file left by an interrupted write");
    }
  }
}

void SettingsStore::load() {
  std::lock_guard lock(mutex_);
  values_.clear();
  std::error_code ec;
  if (!std::filesystem::exists(file_, ec)) return;  // a first start: nothing yet
  std::ifstream in(file_, std::ios::binary);
  if (!in) {
    log("SettingsStore::load", file_.string() + ": cannot be read, starting empty");
    return;
  }
  std::stringstream text;
  text << in.rdbuf();
  const auto json = nlohmann::json::parse(text.str(), nullptr, /*allow_exceptions=*/false);
  if (json.is_discarded() || !json.is_object()) {
    log("SettingsStore::load", file_.string() + ": not a JSON object, starting empty");
    return;
  }
  for (const auto& [key, value] : json.items()) {
    if (value.is_string()) {
      values_.emplace(key, value.get<std::string>());
    } else {
      log("SettingsStore::load", file_.string() + ": entry \"" + key + "\" is not a string, dropped");
    }
  }
}

std::optional<std::string> SettingsStore::get(std::string_view key) const {
  std::lock_guard lock(mutex_);
  const auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::string SettingsStore::value(std::string_view key) const { return get(key).value_or(std::string()); }

void SettingsStore::set(std::string_view key, std::string_view value) {
  std::lock_guard lock(mutex_);
  values_.insert_or_assign(std::string(key), std::string(value));
  save();
}

void SettingsStore::remove(std::string_view key) {
  std::lock_guard lock(mutex_);
  const auto it = values_.find(key);
  if (it == values_.end()) return;
  values_.erase(it);
  save();
}

void SettingsStore::removeAll() {
  std::lock_guard lock(mutex_);
  values_.clear();
  save();
}

std::map<std::string, std::string, std::less<>> SettingsStore::all() const {
  std::lock_guard lock(mutex_);
  return values_;
}

// Writes the whole object to a fresh temporary file beside the target, flushes
// it, renames it over the target and flushes the folder, so the name always
// points at a complete file. A failure is logged; the values stay in memory.
void SettingsStore::save() {
  nlohmann::json json = nlohmann::json::object();
  for (const auto& [key, value] : values_) json[key] = value;
  // Invalid UTF-8 in a value is replaced rather than thrown on.
  const std::string text = json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";

  const std::filesystem::path folder = fileFolder();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  std::string pattern = (folder / (file_.filename().string() + ".tmp-XXXXXX")).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    log("SettingsStore::save", file_.string() + ": cannot create a temporary file: " + errnoText());
    return;
  }
  const bool written = writeAll(fd, text) && ::fsync(fd) == 0;
  const std::string writeError = written ? "" : errnoText();
  ::close(fd);
  if (!written) {
    ::unlink(pattern.c_str());
    log("SettingsStore::save", file_.string() + ": write failed: " + writeError);
    return;
  }
  if (const auto& hook = beforeRenameHook()) hook();
  if (::rename(pattern.c_str(), file_.c_str()) != 0) {
    const std::string error = errnoText();
    ::unlink(pattern.c_str());
    log("SettingsStore::save", file_.string() + ": rename failed: " + error);
    return;
  }
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

}  // namespace orv
