#pragma once
// The search button's action: empties the settings store (the navigation
// parameters included), writes "cmd" = "cnt.fin" alone and pushes the grid
// list screen ("GameGridViewController") in search mode, animated, on the
// sliding navigation stack. Without that screen registered nothing is pushed.

namespace orv::toolkit {
class NavigationController;
class ViewController;
}

namespace orv::store {

class SearchView {
 public:
  SearchView() = delete;
  // The pushed screen, or nullptr when none could be created.
  static orv::toolkit::ViewController* open(orv::toolkit::NavigationController* stack);
};

}  // namespace orv::store
