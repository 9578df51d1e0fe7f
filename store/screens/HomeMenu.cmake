# The side menu and the home screen, added to orv_store_screens, with the
# store's own images as a Qt resource.
target_sources(orv_store_screens PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/GameCard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GridGameCell.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GridGameHeader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HomeViewController.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LeftMenuViewController.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PageControl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PlaceholderViewController.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StoreImages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../resources/store_images.qrc)
target_link_libraries(orv_store_screens PUBLIC orv_store_models orv_toolkit_image Qt6::Svg)
set_target_properties(orv_store_screens PROPERTIES AUTOMOC ON AUTORCC ON)
