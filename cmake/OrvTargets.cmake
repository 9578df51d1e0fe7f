# Helpers shared by every folder's CMakeLists.txt.

# Warnings that our own code must pass; third-party headers come in as SYSTEM.
# They are errors only with ORV_WERROR (on in scripts/test): a consumer's
# build with another compiler or build type must not fail on a new warning.
function(orv_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(ORV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# orv_library(NAME SOURCES ... [DEPS ...])  static library of one subsystem.
function(orv_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PUBLIC_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} ${ARG_DEPS})
  orv_warnings(${name})
endfunction()

# orv_test(NAME SOURCES ... [LIBS ...] [CONCURRENCY] [TIMEOUT s])
# One gtest executable registered with ctest. CONCURRENCY marks the suites that
# the ThreadSanitizer pass builds and runs (label "concurrency").
function(orv_test name)
  cmake_parse_arguments(ARG "CONCURRENCY" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  orv_warnings(${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set(labels "unit")
  if(ARG_CONCURRENCY)
    set(labels "concurrency")
    set_property(GLOBAL APPEND PROPERTY ORV_CONCURRENCY_TESTS ${name})
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${labels}")
  set_property(GLOBAL APPEND PROPERTY ORV_ALL_TESTS ${name})
endfunction()

# Aggregate targets: all_tests builds every suite, concurrency_tests only the
# suites labelled "concurrency" (the ThreadSanitizer pass builds just those).
function(orv_finish_test_groups)
  get_property(all GLOBAL PROPERTY ORV_ALL_TESTS)
  get_property(conc GLOBAL PROPERTY ORV_CONCURRENCY_TESTS)
  add_custom_target(all_tests)
  if(all)
    add_dependencies(all_tests ${all})
  endif()
  add_custom_target(concurrency_tests)
  if(conc)
    add_dependencies(concurrency_tests ${conc})
  endif()
endfunction()
