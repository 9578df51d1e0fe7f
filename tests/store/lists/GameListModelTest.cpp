#include "store/lists/GameListModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"
#include "wire/ORVRequest.h"

namespace orv::store {
namespace {

// A list answer with `count` games numbered from `first`.
ORVDataObjectPtr page(int first, int count) {
  auto rs = ORVDataArray::builder();
  for (int i = 0; i < count; ++i) {
    rs.addDataObject(ORVDataObject::builder().putInt32(first + i, "id").putString("G" + std::to_string(first + i), "tl").build());
  }
  return ORVDataObject::builder().putDataArray(rs.build(), "rs").build();
}

ORVDataObjectPtr failure() { return ORVDataObject::builder().putInt32(2, "ec").putString("x", "em").build(); }

NavigationParameters nav(std::string cmd, std::string id = "0", std::string tl = "") {
  return NavigationParameters{std::move(cmd), std::move(id), std::move(tl)};
}

std::vector<int> ids(const std::vector<Game>& games) {
  std::vector<int> out;
  for (const auto& g : games) out.push_back(g.id());
  return out;
}

// A server holding `total` games, answering any page request.
ORVDataObjectPtr serve(const ORVRequest& request, int total) {
  const int ps = request.int32ForKey("ps");
  const int pi = request.int32ForKey("pi");
  const int first = ps * pi;
  return page(first, std::max(0, std::min(ps, total - first)));
}

// Drives a grid as the screen does: the first request at appearance, then
// a page whenever the last cell is shown, until nothing more is asked.
std::vector<int> pageThroughGrid(GameListModel& grid, int total, std::vector<int>& sizes) {
  std::vector<int> pis;
  auto requests = grid.firstRequests();
  ORVRequestPtr r = requests.empty() ? nullptr : requests.front();
  while (r) {
    pis.push_back(r->int32ForKey("pi"));
    const auto update = grid.receive(r->command(), *serve(*r, total));
    sizes.push_back(static_cast<int>(update.appended));
    r = nullptr;
    if (grid.wantsPageAtItem(static_cast<int>(grid.games().size()) - 1)) r = grid.requestNextPage();
    if (pis.size() > 10) break;
  }
  return pis;
}

TEST(GameListModelTest, GridPagesACategoryUntilAnEmptyPage) {
  GameListModel grid(GameListModel::Kind::Grid, nav("cnt.li", "12", "Hành động"));
  EXPECT_EQ(grid.catId(), 12);
  EXPECT_EQ(grid.title(), "Hành động");
  std::vector<int> sizes;
  EXPECT_EQ(pageThroughGrid(grid, 23, sizes), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(sizes, (std::vector<int>{10, 10, 3, 0}));
  EXPECT_EQ(grid.games().size(), 23u);
  EXPECT_TRUE(grid.isEndPage());
  EXPECT_FALSE(grid.isLoading());
  EXPECT_EQ(grid.currentPage(), 3);

  GameListModel ten(GameListModel::Kind::Grid, nav("hm.rcm"));
  sizes.clear();
  EXPECT_EQ(pageThroughGrid(ten, 10, sizes), (std::vector<int>{0, 1}));
  EXPECT_EQ(ten.games().size(), 10u);
  EXPECT_TRUE(ten.isEndPage());

  // The category id is read for "cnt.li..." and "cnt.rlt" only.
  EXPECT_EQ(GameListModel(GameListModel::Kind::Grid, nav("hm.new", "7")).catId(), 0);
  EXPECT_EQ(GameListModel(GameListModel::Kind::Table, nav("cnt.rlt", "7")).catId(), 7);
}

TEST(GameListModelTest, GridRequestsPerModeAndOnlyOneAtATime) {
  GameListModel grid(GameListModel::Kind::Grid, nav("cnt.li2", "4"));
  auto first = grid.firstRequests();
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0]->command(), "cnt.li2");
  EXPECT_EQ(first[0]->stringForKey("pf"), "android");
  EXPECT_EQ(first[0]->int32ForKey("ps"), 10);
  EXPECT_EQ(first[0]->int32ForKey("id"), 4);
  EXPECT_TRUE(grid.firstRequests().empty()) << "the first page is asked once";
  EXPECT_TRUE(grid.isLoading());
  grid.receive("cnt.li2", *page(0, 10));
  ASSERT_TRUE(grid.wantsPageAtItem(9));
  EXPECT_FALSE(grid.wantsPageAtItem(8)) << "only the last cell asks";
  ASSERT_TRUE(grid.requestNextPage());
  EXPECT_FALSE(grid.wantsPageAtItem(9)) << "a page is under way";
  EXPECT_EQ(grid.requestNextPage(), nullptr);

  // A failure ends the list and adds nothing, even with entries.
  auto failed = ORVDataObject::builder().putInt32(5, "ec").putDataArray(page(0, 3)->dataArrayForKey("rs"), "rs").build();
  const auto update = grid.receive("cnt.li2", *failed);
  EXPECT_TRUE(update.failed);
  EXPECT_EQ(grid.games().size(), 10u);
  EXPECT_TRUE(grid.isEndPage());

  // Modes the grid does not know send nothing.
  GameListModel unknown(GameListModel::Kind::Grid, nav("cnt.rlt", "3"));
  EXPECT_TRUE(unknown.firstRequests().empty());
}

TEST(GameListModelTest, SearchSendsNothingUntilAskedAndNeverMixesTwoSearches) {
  GameListModel grid(GameListModel::Kind::Grid, nav("cnt.fin"));
  ASSERT_TRUE(grid.isSearch());
  EXPECT_TRUE(grid.firstRequests().empty());
  EXPECT_TRUE(grid.isFirstLoad());

  // First search runs to its end (3 results).
  auto r = grid.search("dai chien");
  EXPECT_EQ(r->command(), "cnt.fin");
  EXPECT_EQ(r->stringForKey("sh"), "dai chien");
  EXPECT_EQ(r->int32ForKey("pi"), 0);
  grid.receive("cnt.fin", *page(100, 3));
  ASSERT_TRUE(grid.wantsPageAtItem(2));
  grid.receive("cnt.fin", *serve(*grid.requestNextPage(), 0));
  ASSERT_TRUE(grid.isEndPage());

  // A second search with 15 results loads its own two pages, then ends.
  auto second = grid.search("ninja");
  EXPECT_TRUE(grid.games().empty()) << "the grid is cleared at once";
  EXPECT_FALSE(grid.isEndPage());
  EXPECT_EQ(second->int32ForKey("pi"), 0);
  grid.receive("cnt.fin", *serve(*second, 15));
  grid.receive("cnt.fin", *serve(*grid.requestNextPage(), 15));
  ASSERT_TRUE(grid.wantsPageAtItem(14));
  grid.receive("cnt.fin", *serve(*grid.requestNextPage(), 15));
  EXPECT_EQ(grid.games().size(), 15u);
  EXPECT_TRUE(grid.isEndPage());

  // Search again before the answer of the previous one: that answer comes
  // late and is dropped; the new search's paging is untouched by it.
  ASSERT_TRUE(grid.search("a"));
  EXPECT_EQ(grid.search("b"), nullptr) << "held back: one request in flight";
  EXPECT_TRUE(grid.isLoading());
  const auto stale = grid.receive("cnt.fin", *page(500, 10));
  EXPECT_TRUE(stale.stale);
  ASSERT_TRUE(stale.followUp);
  EXPECT_EQ(stale.followUp->stringForKey("sh"), "b");
  EXPECT_EQ(stale.followUp->int32ForKey("pi"), 0);
  EXPECT_TRUE(grid.games().empty());
  EXPECT_EQ(grid.currentPage(), -1);
  EXPECT_TRUE(grid.isLoading()) << "the new search's page is still outstanding";
  EXPECT_FALSE(grid.wantsPageAtItem(-1));
  const auto fresh = grid.receive("cnt.fin", *page(900, 4));
  EXPECT_FALSE(fresh.stale);
  EXPECT_EQ(ids(grid.games()), (std::vector<int>{900, 901, 902, 903}));
  EXPECT_EQ(grid.currentPage(), 0);

  // The screen went away while a page was out: its answer will never come,
  // so the held search is sent on return instead of waiting for ever.
  grid.requestNextPage();
  EXPECT_EQ(grid.search("c"), nullptr);
  grid.abandonOutstanding();
  auto resumed = grid.resumeHeldSearch();
  ASSERT_TRUE(resumed);
  EXPECT_EQ(resumed->stringForKey("sh"), "c");
  EXPECT_EQ(grid.resumeHeldSearch(), nullptr);
}

TEST(GameListModelTest, TableHomeModeAsksBannersAndNewestOnceAndNeverPages) {
  GameListModel table(GameListModel::Kind::Table, nav("hm"));
  ASSERT_TRUE(table.isHomeTable());
  auto first = table.firstRequests();
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0]->command(), "hm");
  EXPECT_EQ(first[0]->int32ForKey("ps"), 5);
  EXPECT_EQ(first[0]->int32ForKey("pi"), 0);
  EXPECT_EQ(first[1]->command(), "hm.new");
  EXPECT_EQ(first[1]->int32ForKey("ps"), 10);
  EXPECT_EQ(first[1]->int32ForKey("pi"), 0);
  EXPECT_EQ(table.rowCount(), 0) << "no loading row in mode hm";
  EXPECT_EQ(table.receive("hm", *page(1, 5)).bannersAppended, 5u);
  EXPECT_EQ(table.receive("hm.new", *page(20, 10)).appended, 10u);
  EXPECT_EQ(table.banners().size(), 5u);
  EXPECT_EQ(table.rowCount(), 10);
  EXPECT_FALSE(table.wantsPageAtLoadingRow());
  EXPECT_EQ(table.requestNextPage(), nullptr);
  EXPECT_FALSE(table.isEndPage());
}

TEST(GameListModelTest, TableRowsLoadingRowAndNoDataFooter) {
  GameListModel table(GameListModel::Kind::Table, nav("cnt.li", "1"));
  table.firstRequests();
  EXPECT_EQ(table.rowCount(), 1) << "the loading row while the first page comes";
  EXPECT_FALSE(table.wantsPageAtLoadingRow()) << "the first page is asked by the appearance only";
  table.receive("cnt.li", *page(0, 10));
  EXPECT_EQ(table.rowCount(), 11);
  EXPECT_TRUE(table.isLoadingRow(10));
  ASSERT_TRUE(table.wantsPageAtLoadingRow());
  auto next = table.requestNextPage();
  EXPECT_EQ(next->int32ForKey("pi"), 1);
  EXPECT_FALSE(table.wantsPageAtLoadingRow());
  EXPECT_FALSE(table.receive("cnt.li", *page(0, 0)).showNoData) << "only an empty first page shows it";
  EXPECT_EQ(table.rowCount(), 10);

  GameListModel empty(GameListModel::Kind::Table, nav("cnt.li", "99"));
  empty.firstRequests();
  EXPECT_TRUE(empty.receive("cnt.li", *page(0, 0)).showNoData);
  EXPECT_TRUE(empty.isEndPage());
  EXPECT_EQ(empty.rowCount(), 0);

  GameListModel failing(GameListModel::Kind::Table, nav("cnt.rlt", "3"));
  auto rlt = failing.firstRequests();
  EXPECT_EQ(rlt[0]->int32ForKey("ord"), 0);
  EXPECT_EQ(rlt[0]->int32ForKey("id"), 3);
  EXPECT_TRUE(failing.receive("cnt.rlt", *failure()).showNoData);
  EXPECT_TRUE(failing.isEndPage());

  // "hm.new" always asks page 0: in a mode of its own one answer ends it.
  GameListModel newest(GameListModel::Kind::Table, nav("hm.new"));
  newest.firstRequests();
  newest.receive("hm.new", *page(0, 10));
  EXPECT_TRUE(newest.isEndPage());
  EXPECT_EQ(newest.rowCount(), 10);

  // A mode the table does not know: nothing sent, one loading row forever.
  GameListModel unknown(GameListModel::Kind::Table, nav("hm.rcm"));
  EXPECT_TRUE(unknown.firstRequests().empty());
  EXPECT_EQ(unknown.rowCount(), 1);
}

}  // namespace
}  // namespace orv::store
