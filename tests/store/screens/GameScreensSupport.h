#pragma once
// Shared set-up of the list and detail screen suites: the reference server
// on loopback with a few games added to its catalogue (a category of exactly
// 10, an empty category, 12 "Siêu Anh Hùng" games for a two-page search), a
// tap on its command router that records every list, detail and purchase
// request it receives (and may script or delay an answer), the shared client
// logged into the zone, the settings store in a temporary file, and a
// 320 x 568 window holding a navigation stack.

#include <QApplication>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/session/SessionServer.h"
#include "server/store/Catalogue.h"
#include "server/store/StoreCommands.h"
#include "store/Config.h"
#include "tests/store/screens/StoreSessionSupport.h"
#include "toolkit/NavigationController.h"
#include "toolkit/ViewController.h"
#include "wire/ORVDataObject.h"
#include "wire/ORVRequest.h"

namespace orv::test {

constexpr int kTenCategory = 20;
constexpr int kEmptyCategory = 21;
constexpr int kHeroCategory = 22;
constexpr int kHeroCount = 12;

struct Received {
  std::string command;
  ORVDataObjectPtr content;
};

// Records what the server receives for the store's list, detail and
// purchase commands and answers through the real store commands, unless a
// script answers first. Handlers run on the server's strands.
class ServerTap {
 public:
  using Script = std::function<ORVDataObjectPtr(const std::string& command, const ORVDataObject& content)>;

  ServerTap(orv::server::Catalogue& catalogue, orv::server::SessionServer& session) : commands_(catalogue) {
    for (const char* c : {"hm", "hm.new", "cnt.li", "cnt.fin", "cnt.rlt", "cnt.dt", "a.buy"}) {
      session.router().addCommand(c, [this](std::string_view command, const ORVDataObjectPtr& content,
                                            std::string_view peer) { return handle(command, content, peer); });
    }
  }
  std::vector<Received> received(const std::string& command) const {
    std::lock_guard lock(mutex_);
    std::vector<Received> out;
    for (const auto& r : received_)
      if (r.command == command) out.push_back(r);
    return out;
  }
  std::vector<int> pages(const std::string& command) const {
    std::vector<int> out;
    for (const auto& r : received(command)) out.push_back(r.content->int32ForKey("pi"));
    return out;
  }
  int answered() const {
    std::lock_guard lock(mutex_);
    return answered_;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    received_.clear();
    answered_ = 0;
  }
  void setScript(Script script) {
    std::lock_guard lock(mutex_);
    script_ = std::move(script);
  }
  // Answers for search text `text` are held back this long.
  void delaySearch(std::string text, std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    slowText_ = std::move(text);
    delay_ = delay;
  }

 private:
  ORVDataObjectPtr handle(std::string_view command, const ORVDataObjectPtr& content, std::string_view peer) {
    Script script;
    std::chrono::milliseconds delay{0};
    {
      std::lock_guard lock(mutex_);
      received_.push_back({std::string(command), content ? content : ORVDataObject::dataObject()});
      script = script_;
      if (command == "cnt.fin" && content && content->stringForKey("sh") == slowText_) delay = delay_;
    }
    if (delay.count() > 0) std::this_thread::sleep_for(delay);
    ORVDataObjectPtr answer;
    if (script) answer = script(std::string(command), content ? *content : *ORVDataObject::dataObject());
    if (!answer) answer = commands_.handle(command, content, peer);
    std::lock_guard lock(mutex_);
    ++answered_;
    return answer;
  }

  orv::server::StoreCommands commands_;
  mutable std::mutex mutex_;
  std::vector<Received> received_;
  int answered_ = 0;
  Script script_;
  std::string slowText_;
  std::chrono::milliseconds delay_{0};
};

// Adds the suite's games to the seeded catalogue (pictures of seeded games).
inline bool addGames(orv::server::Catalogue& catalogue) {
  std::vector<orv::server::Category> categories{
      {kTenCategory, "Mười game", ""}, {kEmptyCategory, "Trống", ""}, {kHeroCategory, "Siêu anh hùng", ""}};
  std::vector<orv::server::Catalogue::NewGame> games;
  auto add = [&](const std::string& title, int category, int picture) {
    orv::server::Catalogue::NewGame n;
    n.game.title = title;
    n.game.provider = "Mekong Play";
    n.game.partner = "P101";
    n.game.price = games.size() % 2 ? 2000 : 0;
    n.game.rating = 4.0;
    n.game.ratingCount = 10;
    n.game.downloads = 1000 + static_cast<int>(games.size());
    n.game.categoryId = category;
    n.iconPath = "icons/" + std::to_string(picture) + ".png";
    n.bannerPath = "banners/" + std::to_string(picture) + ".png";
    n.galleryPaths = {"gallery/" + std::to_string(picture) + "-1.png"};
    n.releasedAt = 1000 + static_cast<int64_t>(games.size());
    games.push_back(std::move(n));
  };
  for (int i = 1; i <= 10; ++i) add("Mười Điểm " + std::to_string(i), kTenCategory, i);
  for (int i = 1; i <= kHeroCount; ++i) add("Siêu Anh Hùng " + std::to_string(i), kHeroCategory, 20 + i);
  return catalogue.insertCatalogue(categories, games, {});
}

// A phone-sized window with a navigation stack over an empty first screen.
struct PhoneWindow {
  PhoneWindow() {
    root = new orv::toolkit::ViewController;
    root->navigationItem()->setBackButtonTitle("");  // as the store's screens do (setBackButton(""))
    nav = new orv::toolkit::NavigationController(root);
    nav->resize(320, 568);
    nav->show();
  }
  ~PhoneWindow() { delete nav; }
  template <typename Screen>
  Screen* push(Screen* screen) {
    nav->pushViewController(screen, false);
    return screen;
  }
  orv::toolkit::ViewController* root;
  orv::toolkit::NavigationController* nav;
};

}  // namespace orv::test
