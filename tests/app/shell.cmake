add_executable(shell_tests
  ${CMAKE_CURRENT_LIST_DIR}/CommandLineTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConfigurationTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConnectionKeeperTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DiagnosticLinesTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DiagnosticLogTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SerialDeviceListTest.cpp
)
target_include_directories(shell_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/tests/support
                                               ${CMAKE_SOURCE_DIR}/tests/serial)
target_link_libraries(shell_tests PRIVATE qel_shell GTest::gtest_main)
set_target_properties(shell_tests PROPERTIES AUTOMOC OFF AUTOUIC OFF)
gtest_discover_tests(shell_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 60)

# Start-up and save time and peak memory with a huge settings file; a measurement, not a test:
#   cmake --build build --target settings_file_bench && build/bin/settings_file_bench
add_executable(settings_file_bench ${CMAKE_CURRENT_LIST_DIR}/SettingsFileBench.cpp)
target_include_directories(settings_file_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
target_link_libraries(settings_file_bench PRIVATE qel_shell)
set_target_properties(settings_file_bench PROPERTIES AUTOMOC OFF AUTOUIC OFF)
