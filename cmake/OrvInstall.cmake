# Installs the client library (platform core, wire, transport, client) as a
# CMake package and a pkg-config file:
#
#   cmake --install build --prefix /opt/orv
#   find_package(orv REQUIRED)  ->  target_link_libraries(app PRIVATE orv::orv)
#   pkg-config --cflags --libs orv
#
# Headers go to <prefix>/include/orv/<folder>/, so programs include them as
# in this tree ("client/ORVClient.h").
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(ORV_INSTALL_LIBRARIES orv_platform_core orv_wire orv_transport orv_client)
set(ORV_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/orv)
set(ORV_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/orv)

# The one target applications link: the client and everything under it.
add_library(orv INTERFACE)
target_link_libraries(orv INTERFACE orv_client)
add_library(orv::orv ALIAS orv)

foreach(lib ${ORV_INSTALL_LIBRARIES})
  target_include_directories(${lib} PUBLIC $<INSTALL_INTERFACE:${ORV_INSTALL_INCLUDEDIR}>)
endforeach()

install(TARGETS ${ORV_INSTALL_LIBRARIES} orv EXPORT orvTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT orv
  INCLUDES DESTINATION ${ORV_INSTALL_INCLUDEDIR})

# The platform folder also holds the application-side interfaces (HTTP,
# settings, strings), which are not part of the library.
install(FILES
  platform/DispatchOnce.h platform/DispatchPool.h platform/DispatchQueue.h platform/DispatchTimer.h
  platform/Log.h platform/MainQueue.h platform/RunLoopMainQueue.h
  DESTINATION ${ORV_INSTALL_INCLUDEDIR}/platform COMPONENT orv)
foreach(dir wire transport client)
  install(DIRECTORY ${dir}/ DESTINATION ${ORV_INSTALL_INCLUDEDIR}/${dir} COMPONENT orv FILES_MATCHING PATTERN "*.h")
endforeach()

install(EXPORT orvTargets NAMESPACE orv:: DESTINATION ${ORV_PACKAGE_DIR} COMPONENT orv)
configure_package_config_file(cmake/orvConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/orvConfig.cmake
  INSTALL_DESTINATION ${ORV_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/orvConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/orvConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/orvConfigVersion.cmake
  DESTINATION ${ORV_PACKAGE_DIR} COMPONENT orv)

configure_file(cmake/orv.pc.in ${CMAKE_CURRENT_BINARY_DIR}/orv.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/orv.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT orv)
