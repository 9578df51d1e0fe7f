# The game lists and the game page (grid, table, detail) and their cells.
target_sources(orv_store_screens PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/GameDetailViewController.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GameGridViewController.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GameListScreen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GameTableCell.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GameTableViewController.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GridGameCell2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LazyCellView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OtherGame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RatingStars.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ShareSheet.cpp
  ${PROJECT_SOURCE_DIR}/store/resources/lists_images.qrc)
target_link_libraries(orv_store_screens PUBLIC orv_store_lists orv_toolkit_image orv_platform)
