# The version information of the program file (no Qt needed).
listelo_test(version_info_tests version_info_test.cpp)
target_compile_definitions(version_info_tests PRIVATE LISTELO_VERSION="${PROJECT_VERSION}")
add_dependencies(version_info_tests listelo)

# The Qt window, on the offscreen platform: no X server needed.
if(TARGET listelo_window)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(window_tests window_test.cpp)
  target_link_libraries(window_tests PRIVATE listelo_testing listelo_window Qt6::Test GTest::gtest)
  target_compile_definitions(window_tests PRIVATE LISTELO_VERSION="${PROJECT_VERSION}")
  add_dependencies(window_tests listelo)
  gtest_discover_tests(window_tests DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 300 ENVIRONMENT QT_QPA_PLATFORM=offscreen)
endif()
