// gtest main for the home and menu suites: a QApplication on the offscreen
// platform, animations at speed 0 (their completions still run), session
// traffic handed to the GUI thread.
#include "tests/store/screens/StoreSessionSupport.h"

int main(int argc, char** argv) {
  return orv::test::runScreenSuite(argc, argv, nullptr, [] { return RUN_ALL_TESTS(); });
}
