#pragma once
// Where screen suites save their pictures: $ORV_SCREENSHOT_DIR when set
// (scripts/screenshots points it at docs/screenshots to refresh the pictures
// the README shows), else "screenshots/" in the suite's working folder, so an
// ordinary test run leaves the source tree alone.

#include <cstdlib>
#include <filesystem>

namespace orv::test {

inline std::filesystem::path screenshotFolder() {
  const char* chosen = std::getenv("ORV_SCREENSHOT_DIR");
  std::filesystem::path folder =
      chosen && *chosen ? std::filesystem::path(chosen) : std::filesystem::current_path() / "screenshots";
  std::filesystem::create_directories(folder);
  return folder;
}

}  // namespace orv::test
