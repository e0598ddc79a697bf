# The windows and the start-up pieces of the program, on Qt's offscreen platform, with
# simulated devices on pseudo-terminals.
find_package(Qt6 REQUIRED COMPONENTS Test)

add_executable(app_gui_tests
  ${CMAKE_CURRENT_LIST_DIR}/DiagnosticsListTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GuiTestMain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LostDeviceTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PortsDialogTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtDialogsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SettingsWindowTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StartUpPiecesTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TrayAndAboutTest.cpp
)
target_include_directories(app_gui_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/tests/support)
target_link_libraries(app_gui_tests PRIVATE qel_app_ui qel_sim Qt6::Test GTest::gtest)
gtest_discover_tests(app_gui_tests
  DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)

# What one more line costs the diagnostics list at 200 000 lines against the first lines;
# a measurement to run by hand (see the file), not a test.
add_executable(diagnostics_list_benchmark ${CMAKE_CURRENT_LIST_DIR}/DiagnosticsListBenchmark.cpp)
target_link_libraries(diagnostics_list_benchmark PRIVATE qel_app_ui)
set_target_properties(diagnostics_list_benchmark PROPERTIES AUTOMOC OFF AUTOUIC OFF)
