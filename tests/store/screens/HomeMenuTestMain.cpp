// gtest main for the home and menu suites: a QApplication on the offscreen
// platform, animations at speed 0 (their completions still run), session
// traffic handed to the GUI thread.
#include <QApplication>
#include <gtest/gtest.h>

#include "tests/store/screens/StoreSessionSupport.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  orv::test::prepareScreenSuite();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
