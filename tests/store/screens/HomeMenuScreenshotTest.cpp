// Pictures of the home screen and of the open menu (guest and subscriber)
// against the reference server's own seeded catalogue, taken once every
// picture on them has arrived from the media service. Saved to
// docs/screenshots/ for review.

#include "store/screens/HomeViewController.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QListView>
#include <QTest>
#include <QTimer>
#include <QDebug>
#include <QScrollArea>

#include "store/Config.h"
#include "store/screens/GridGameCell.h"
#include "store/screens/LeftMenuViewController.h"
#include "tests/store/screens/HomeMenuTestSupport.h"
#include "toolkit/AlertView.h"
#include "toolkit/SlidingNavigationStack.h"
#include "toolkit/image/RemoteImageView.h"
#include "tests/support/ScreenshotFolder.h"

namespace {

using orv::store::Config;
using orv::store::HomeViewController;
using orv::store::LeftMenuViewController;
using orv::toolkit::SlidingNavigationStack;

const QString kShots = QString::fromStdString(orv::test::screenshotFolder().string() + "/");

class HomeMenuScreenshotTest : public orv::test::StoreWindowTest {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(orv::test::connectStore(server_), ""); }
  static void TearDownTestSuite() {
    Config::sharedClient()->disconnect();
    server_.reset();
  }

  void present(const std::string& msisdn, int32_t status) {
    Config::resetSessionState();
    Config::setMsisdn(msisdn);
    Config::setMsisdnStatus(status);
    Config::setIsShowingDialogRegister(true);
    presentStore();
  }

  // True once every banner and every visible game card shows its picture.
  bool homePicturesLoaded() const {
    if (home_->banners().isEmpty() || home_->sectionHeaders().isEmpty()) return false;
    for (auto* banner : home_->banners()) {
      auto* view = banner->findChild<orv::toolkit::RemoteImageView*>();
      if (!view || view->image().isNull()) return false;
    }
    for (int s = 0; s < home_->sectionHeaders().size(); ++s)
      for (auto* cell : home_->cellsOfSection(s))
        if (cell->thumb()->image().isNull()) return false;
    return true;
  }

  void openMenuWithPictures() {
    bool opened = false;
    stack_->openMenu(SlidingNavigationStack::Left, [&] { opened = true; });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          auto* model = menu_->tableView1()->model();
          if (!opened || model->rowCount() == 0) return false;
          for (int r = 0; r < model->rowCount(); ++r)
            if (!model->index(r, 0).data(Qt::DecorationRole).isValid() &&
                model->index(r, 0).data(LeftMenuViewController::RowIdRole).toInt() != -99)
              return false;
          return true;
        },
        10000));
  }

  static inline std::unique_ptr<orv::test::LocalReferenceServer> server_;
};

TEST_F(HomeMenuScreenshotTest, HomeAndMenus) {
  present("84912000001", 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return homePicturesLoaded(); }, 15000));
  home_->sliderTimer()->stop();  // the first banner, not a moment of a slide
  QTest::qWait(400);             // let the cross-fades of the last pictures finish
  ASSERT_TRUE(window_->grab().save(kShots + "home.png"));

  openMenuWithPictures();
  QTest::qWait(400);
  ASSERT_TRUE(window_->grab().save(kShots + "menu-subscriber.png"));

  present("", 0);
  openMenuWithPictures();
  QTest::qWait(400);
  ASSERT_TRUE(window_->grab().save(kShots + "menu-guest.png"));
}

}  // namespace
