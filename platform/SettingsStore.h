#pragma once
// The persistent key/value settings store: string values by key, kept in a
// JSON object file. Every write replaces the file atomically (temporary file,
// flush, rename, folder flush), so a crash leaves the old or the new file,
// never a torn one. A corrupt or unreadable file is logged and read as empty;
// the next write replaces it. Thread-safe.

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace orv {

class SettingsStore {
 public:
  // The store kept in `file` (its folder is created when missing).
  static std::shared_ptr<SettingsStore> open(std::filesystem::path file);
  // The application's standard store: the file set by useStandardFile, else
  // $XDG_CONFIG_HOME/orv-store/settings.json (~/.config when unset).
  static std::shared_ptr<SettingsStore> standard();
  // Points standard() at another file (tests, --settings); later calls of
  // standard() return a store on that file.
  static void useStandardFile(std::filesystem::path file);
  // The store's own configuration folder: $XDG_CONFIG_HOME/orv-store
  // (~/.config/orv-store when unset; the temporary folder without a home).
  static std::filesystem::path configFolder();

  std::optional<std::string> get(std::string_view key) const;
  // The value, or "" when absent.
  std::string value(std::string_view key) const;
  void set(std::string_view key, std::string_view value);
  void remove(std::string_view key);
  // Removes every entry (the whole domain).
  void removeAll();
  std::map<std::string, std::string, std::less<>> all() const;
  const std::filesystem::path& file() const { return file_; }

  explicit SettingsStore(std::filesystem::path file);

  // Called by every write after the temporary file is complete and flushed and
  // before it is renamed over the store's file. Tests use it to stop a
  // process at that point; empty by default.
  static void setBeforeRenameHookForTesting(std::function<void()> hook);

 private:
  void load();
  void removeAbandonedTemporaryFiles() const;
  std::filesystem::path fileFolder() const;  // the folder holding the file
  void save();  // under mutex_

  std::filesystem::path file_;
  mutable std::mutex mutex_;
  std::map<std::string, std::string, std::less<>> values_;
};

}  // namespace orv
