#include "platform/StringsTable.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>

#include <nlohmann/json.hpp>

#include "platform/Log.h"

namespace orv {
namespace {

using Table = std::map<std::string, std::string, std::less<>>;

std::mutex& tableMutex() {
  static std::mutex m;
  return m;
}

std::shared_ptr<const Table>& tableSlot() {
  static std::shared_ptr<const Table> table = std::make_shared<const Table>();
  return table;
}

std::shared_ptr<const Table> currentTable() {
  std::lock_guard lock(tableMutex());
  return tableSlot();
}

bool parseTable(std::string_view json, Table& out, std::string& error) {
  const auto parsed = nlohmann::json::parse(json, nullptr, /*allow_exceptions=*/false);
  if (parsed.is_discarded() || !parsed.is_object()) {
    error = "not a JSON object";
    return false;
  }
  for (const auto& [key, value] : parsed.items()) {
    if (!value.is_string()) {
      error = "the value of \"" + key + "\" is not a string";
      return false;
    }
    out.emplace(key, value.get<std::string>());
  }
  return true;
}

// True when `format` holds exactly one conversion and it is "%d" (besides
// "%%"), so a table text cannot make the formatting read what is not there.
bool isSingleIntegerFormat(std::string_view format) {
  int conversions = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (i + 1 >= format.size()) return false;
    if (format[i + 1] == '%') {
      ++i;
      continue;
    }
    if (format[i + 1] != 'd') return false;
    ++conversions;
    ++i;
  }
  return conversions == 1;
}

}  // namespace

std::string localizedString(std::string_view key) {
  const auto table = currentTable();
  const auto it = table->find(key);
  return it == table->end() ? std::string(key) : it->second;
}

bool loadLocalizedStringsFromText(std::string_view json) {
  Table table;
  std::string error;
  if (!parseTable(json, table, error)) {
    log("loadLocalizedStrings", "strings table refused: " + error);
    return false;
  }
  auto shared = std::make_shared<const Table>(std::move(table));
  std::lock_guard lock(tableMutex());
  tableSlot() = std::move(shared);
  return true;
}

bool loadLocalizedStrings(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    log("loadLocalizedStrings", file.string() + ": cannot be read");
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  return loadLocalizedStringsFromText(text.str());
}

std::string localizedFormat(std::string_view key, long long value) {
  const std::string format = localizedString(key);
  const std::string number = std::to_string(value);
  if (!isSingleIntegerFormat(format)) {
    // The text is not a format with one "%d": show it with the number after.
    return format + " " + number;
  }
  std::string out;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%') {
      out += format[i + 1] == '%' ? std::string("%") : number;
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

}  // namespace orv
