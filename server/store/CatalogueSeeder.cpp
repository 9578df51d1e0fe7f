#include "server/store/CatalogueSeeder.h"

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

#include "platform/Log.h"
#include "server/store/Catalogue.h"
#include "server/store/PictureRenderer.h"

namespace orv::server {
namespace {

struct SeedCategory {
  int id;
  const char* title;
  std::vector<const char*> games;
};

// Category 1 holds 23 games so that a list pages as 10, 10, 3 and then empty.
const std::vector<SeedCategory>& seedCategories() {
  static const std::vector<SeedCategory> kCategories{
      {1, "Hành động",
       {"Chiến Binh Rồng Lửa", "Biệt Đội Săn Quái", "Ninja Bóng Đêm", "Huyền Thoại Võ Lâm", "Đại Chiến Zombie",
        "Súng Thần Sa Mạc", "Hiệp Sĩ Bão Táp", "Sát Thủ Thành Cổ", "Rồng Thiêng Trỗi Dậy", "Đột Kích Mùa Hè",
        "Kiếm Khách Giang Hồ", "Thợ Săn Ác Quỷ", "Anh Hùng Xạ Điêu", "Chiến Cơ Huyền Thoại", "Biệt Kích Rừng Sâu",
        "Đấu Trường Sinh Tử", "Quyền Vương Đường Phố", "Lính Đánh Thuê", "Cuộc Chiến Ngân Hà", "Mãnh Hổ Xuất Sơn",
        "Bão Lửa Tây Nguyên", "Vệ Binh Ánh Sáng", "Samurai Cuối Cùng"}},
      {2, "Đua xe",
       {"Đua Xe Tốc Độ", "Đua xe Đường Phố", "Mô Tô Vượt Đèo", "Đường Đua Sài Gòn", "Xe Tăng Địa Hình",
        "Thuyền Rồng Sông Hương"}},
      {3, "Giải đố",
       {"Xếp Hình Kim Cương", "Ô Chữ Tiếng Việt", "Nối Thú Cổ Điển", "Mê Cung Ánh Trăng", "Bắn Bóng Sắc Màu",
        "Lật Hình Trí Nhớ"}},
      {4, "Thể thao",
       {"Bóng Đá Việt Nam", "Cầu Lông Vô Địch", "Bi-a Đỉnh Cao", "Bóng Rổ Đường Phố", "Quần Vợt Mùa Hè",
        "Đấu Vật Sumo"}},
      {5, "Nhập vai",
       {"Tiên Kiếm Kỳ Hiệp", "Tiên Hiệp Truyện", "Thần Điêu Đại Hiệp", "Linh Vương Truyền Kỳ", "Phong Thần Bảng",
        "Hoàng Đế Cuối Cùng"}},
      {6, "Chiến thuật",
       {"Tam Quốc Chí", "Đế Chế Việt", "Thủ Thành Bạch Đằng", "Binh Pháp Cổ Đại", "Đại Chiến Thành Trì",
        "Làng Chiến Binh"}},
      {7, "Bài & Cờ",
       {"Cờ Tướng Online", "Tiến Lên Miền Nam", "Cờ Caro Vui", "Phỏm Đại Chiến", "Đố Vui Triệu Phú",
        "Cờ Vua Đại Sư"}},
      {8, "Âm nhạc", {"Nhịp Điệu Piano", "Vũ Điệu Đam Mê", "Karaoke Vui", "Nhạc Chuông Hit", "Trống Hội Làng"}},
  };
  return kCategories;
}

constexpr std::array kProviders{
    "Sao Mai Studio",      "Rồng Vàng Games", "Hoa Sen Entertainment", "Bạch Đằng Soft",
    "Phương Nam Mobile",   "Lạc Hồng Games",  "Trúc Xanh Studio",      "Mekong Play",
};

constexpr std::array kPalette{0xD9452Bu, 0x2B7BD9u, 0x2BA84Au, 0x8E44ADu, 0xE67E22u,
                              0x16A085u, 0xC0392Bu, 0x2C3E50u, 0xD4AC0Du, 0x1ABC9Cu};

constexpr std::array kPrices{1000, 2000, 3000, 5000, 10000, 15000};

// An HTML description with tags and entities, as the detail screen expects.
std::string description(const std::string& title, const std::string& provider, const std::string& category,
                        int players) {
  // One block element a line, as authored HTML is: the line breaks between
  // blocks are what is left of the layout once the tags are stripped.
  return "<p><b>" + title + "</b> là trò chơi " + category +
         " hấp dẫn do <i>" + provider + "</i> phát triển &amp; phát hành.</p>\n"
         "<p>Điểm nổi bật:</p>\n<ul>\n"
         "<li>• Đồ họa đẹp, điều khiển dễ dàng</li>\n"
         "<li>• Hơn " + std::to_string(players) + " người chơi mỗi ngày</li>\n"
         "<li>• Chế độ &quot;Thử thách&quot; &lt;mới&gt; mỗi tuần</li>\n</ul>\n"
         "<p>Tải ngay để trải nghiệm!</p>";
}

}  // namespace

bool CatalogueSeeder::seedIfEmpty(Catalogue& catalogue, const std::filesystem::path& mediaDir) {
  if (catalogue.isEmpty()) {
    std::mt19937 random(20140815u);  // fixed: the same catalogue on every machine
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };

    std::vector<Category> categories;
    std::vector<Catalogue::NewGame> games;
    // 2026-01-01 UTC; games are released a day or more apart, newest first.
    constexpr int64_t kNewest = 1767225600;
    int id = 0;
    for (const auto& c : seedCategories()) {
      categories.push_back(Category{c.id, c.title,
                                    c.id == kIconlessCategoryId ? "" : "categories/" + std::to_string(c.id) + ".png"});
      for (const char* title : c.games) {
        ++id;
        Catalogue::NewGame n;
        Game& g = n.game;
        g.id = id;
        g.title = title;
        g.provider = kProviders[static_cast<size_t>(between(0, kProviders.size() - 1))];
        g.partner = "P" + std::to_string(100 + id % 7);
        g.price = (id % 3 == 0) ? 0 : kPrices[static_cast<size_t>(between(0, kPrices.size() - 1))];
        g.version = std::to_string(between(1, 3)) + "." + std::to_string(between(0, 9)) + "." +
                    std::to_string(between(0, 20));
        g.ratingCount = (id % 11 == 0) ? 0 : between(3, 4000);
        g.rating = g.ratingCount == 0 ? 0.0 : between(10, 50) / 10.0;
        g.downloads = between(120, 480000);
        g.status = 1;
        g.categoryId = c.id;
        n.description = description(g.title, g.provider, c.title, between(1000, 90000));
        n.iconPath = "icons/" + std::to_string(id) + ".png";
        n.bannerPath = "banners/" + std::to_string(id) + ".png";
        const int pictures = 2 + id % 4;  // 2 to 5
        for (int k = 0; k < pictures; ++k) {
          n.galleryPaths.push_back("gallery/" + std::to_string(id) + "-" + std::to_string(k + 1) + ".png");
        }
        n.banner = (id % 9 == 1);  // seven banner games spread over the categories
        n.releasedAt = kNewest - int64_t{86400} * between(1, 3) * id;
        games.push_back(std::move(n));
      }
    }
    const std::vector<Catalogue::NewSection> sections{
        {"hm.new", "Mới nhất", "new"},
        {"hm.rcm", "Đề cử", "recommended"},
        {"hm.fre", "Miễn phí", "free"},
        {"hm.hot", "Đang hot", "top"},
    };
    if (!catalogue.insertCatalogue(categories, games, sections)) return false;
    // Three demo numbers, one per subscription status.
    catalogue.setSubscriberStatus("84912000001", kSubscribed);
    catalogue.setSubscriberStatus("84912000098", kRenewalDue);
    catalogue.setSubscriberStatus("84912000099", kNotRegistered);
    orv::log("CatalogueSeeder::seedIfEmpty", "seeded " + std::to_string(games.size()) + " games in " +
                                                 std::to_string(categories.size()) + " categories");
  }
  return renderMissingPictures(catalogue, mediaDir) >= 0;
}

int CatalogueSeeder::renderMissingPictures(const Catalogue& catalogue, const std::filesystem::path& mediaDir) {
  // Pictures are drawn from what they show, so look games up by path.
  struct Wanted {
    std::string title, provider;
    uint32_t colour;
    int kind;  // 0 icon, 1 banner, 2 gallery, 3 category icon
    int index, count;
  };
  std::vector<std::pair<std::string, Wanted>> wanted;
  int page = 0;
  for (const auto& c : catalogue.categories()) {
    const auto colour = kPalette[static_cast<size_t>(c.id) % kPalette.size()];
    for (;;) {
      const auto list = catalogue.categoryGames(c.id, Page{Catalogue::kMaxPageSize, page++});
      if (list.empty()) break;
      for (const auto& g : list) {
        const auto detail = catalogue.gameDetail(g.id);
        const uint32_t gameColour = kPalette[static_cast<size_t>(g.id) % kPalette.size()];
        const std::string id = std::to_string(g.id);
        wanted.push_back({"icons/" + id + ".png", {g.title, g.provider, gameColour, 0, 0, 1}});
        wanted.push_back({"banners/" + id + ".png", {g.title, g.provider, gameColour, 1, 0, 1}});
        const int count = detail ? static_cast<int>(detail->gallery.size()) : 0;
        for (int k = 0; k < count; ++k) {
          wanted.push_back(
              {"gallery/" + id + "-" + std::to_string(k + 1) + ".png", {g.title, g.provider, gameColour, 2, k, count}});
        }
      }
    }
    page = 0;
    wanted.push_back({"categories/" + std::to_string(c.id) + ".png", {c.title, "", colour, 3, 0, 1}});
  }
  const auto named = catalogue.picturePaths();
  int drawn = 0;
  for (const auto& [path, w] : wanted) {
    if (std::find(named.begin(), named.end(), path) == named.end()) continue;
    const auto file = mediaDir / path;
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) continue;
    bool ok = false;
    switch (w.kind) {
      case 0:
      case 3: ok = PictureRenderer::renderIcon(file, w.title, w.colour); break;
      case 1: ok = PictureRenderer::renderBanner(file, w.title, w.provider, w.colour); break;
      default: ok = PictureRenderer::renderGalleryPicture(file, w.title, w.index, w.count, w.colour); break;
    }
    if (!ok) {
      drawn = -1;
      break;
    }
    ++drawn;
  }
  return drawn;
}

}  // namespace orv::server
