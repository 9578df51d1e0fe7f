#pragma once
// One seeded catalogue per test process, in a temporary folder: seeding draws
// a few hundred pictures, so the suites share it (read-only tests only).

#include <filesystem>
#include <memory>
#include <string>

#include "server/store/Catalogue.h"
#include "server/store/CatalogueSeeder.h"

namespace orv::server::test {

struct SeededStore {
  std::filesystem::path dir;
  std::filesystem::path media;
  std::unique_ptr<Catalogue> catalogue;
  double seedSeconds = 0;

  static SeededStore& shared();
  ~SeededStore();
  // A fresh empty folder under the system temp folder.
  static std::filesystem::path makeTempDir(const std::string& tag);
};

}  // namespace orv::server::test
