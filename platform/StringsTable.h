#pragma once
// The application's localized strings: a JSON object of key -> text loaded
// from a file (the store ships store/resources/strings.vi.json). A missing
// key returns the key itself, as the platform's lookup does.

#include <filesystem>
#include <string>
#include <string_view>

namespace orv {

// The text of `key` in the process-wide table (empty until loaded).
std::string localizedString(std::string_view key);
// Replaces the process-wide table by the file's; false (and a log line) when
// it cannot be read or is not a JSON object of strings.
bool loadLocalizedStrings(const std::filesystem::path& file);
// Same from text already in memory (resources compiled into a binary).
bool loadLocalizedStringsFromText(std::string_view json);
// printf-style formats of the table with one integer ("%d VNĐ").
std::string localizedFormat(std::string_view key, long long value);

}  // namespace orv
