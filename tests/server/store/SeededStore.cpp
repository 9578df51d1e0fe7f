#include "tests/server/store/SeededStore.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace orv::server::test {

std::filesystem::path SeededStore::makeTempDir(const std::string& tag) {
  std::string pattern = (std::filesystem::temp_directory_path() / ("orv-" + tag + "-XXXXXX")).string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

SeededStore::~SeededStore() {
  catalogue.reset();
  std::error_code ec;
  if (!dir.empty()) std::filesystem::remove_all(dir, ec);
}

SeededStore& SeededStore::shared() {
  static SeededStore store;
  static const bool seeded = [] {
    SeededStore& s = store;
    s.dir = makeTempDir("store");
    s.media = s.dir / "media";
    s.catalogue = Catalogue::open(s.dir / "catalogue.db");
    if (!s.catalogue) throw std::runtime_error("cannot open catalogue");
    const auto start = std::chrono::steady_clock::now();
    if (!CatalogueSeeder::seedIfEmpty(*s.catalogue, s.media)) throw std::runtime_error("seed failed");
    s.seedSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    s.catalogue->setMediaBaseUrl("http://media.test:8080/");
    return true;
  }();
  (void)seeded;
  return store;
}

}  // namespace orv::server::test
