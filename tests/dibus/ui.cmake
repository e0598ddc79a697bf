# Tests of the QEL-1M control window, its polling and receive, and report printing.

# The logic below the window: record, commands over a pseudo-terminal, report text.
add_executable(qel1m_logic_tests
  ${CMAKE_CURRENT_LIST_DIR}/Qel1mCommandsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Qel1mRecordTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReportFillTest.cpp
)
target_include_directories(qel1m_logic_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/tests/app ${CMAKE_SOURCE_DIR}/tests/support)
target_link_libraries(qel1m_logic_tests PRIVATE qel_dibus_ui qel_sim GTest::gtest_main)
set_target_properties(qel1m_logic_tests PROPERTIES AUTOMOC OFF AUTOUIC OFF)
gtest_discover_tests(qel1m_logic_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)

# The window itself on the offscreen platform, alone and inside the settings window,
# printing to PDF (checked with pdftotext and pdfinfo).
add_executable(qel1m_window_tests
  ${CMAKE_SOURCE_DIR}/tests/app/GuiTestMain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Qel1mLostLinkTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Qel1mSettingsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Qel1mWindowTest.cpp
)
target_include_directories(qel1m_window_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/tests/app ${CMAKE_SOURCE_DIR}/tests/support)
target_compile_definitions(qel1m_window_tests PRIVATE QEL_REPORT_TEMPLATE="${CMAKE_SOURCE_DIR}/dibus/report.rtf")
find_package(Qt6 REQUIRED COMPONENTS Test)
target_link_libraries(qel1m_window_tests PRIVATE qel_app_ui qel_dibus_ui qel_sim Qt6::Test GTest::gtest)
set_target_properties(qel1m_window_tests PROPERTIES AUTOMOC OFF AUTOUIC OFF)
gtest_discover_tests(qel1m_window_tests DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT 300 ENVIRONMENT QT_QPA_PLATFORM=offscreen)

# How long a Timer1 tick blocks the window while it polls, and the CPU it takes; a
# measurement to run by hand, not a test:
#   cmake --build build --target qel1m_poll_benchmark && build/bin/qel1m_poll_benchmark
add_executable(qel1m_poll_benchmark ${CMAKE_CURRENT_LIST_DIR}/Qel1mPollBenchmark.cpp)
target_include_directories(qel1m_poll_benchmark PRIVATE ${CMAKE_SOURCE_DIR}/tests/app ${CMAKE_SOURCE_DIR}/tests/support)
target_link_libraries(qel1m_poll_benchmark PRIVATE qel_app_ui qel_dibus_ui qel_sim)
set_target_properties(qel1m_poll_benchmark PROPERTIES AUTOMOC OFF AUTOUIC OFF)

# The report printed with the template's formatting: the corpus printed to PDF and read
# back with pdftotext, pdffonts, pdfimages and pdfinfo.
add_executable(report_print_tests
  ${CMAKE_SOURCE_DIR}/tests/app/GuiTestMain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReportPrintTest.cpp
)
target_include_directories(report_print_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/tests/app ${CMAKE_SOURCE_DIR}/tests/support)
target_compile_definitions(report_print_tests PRIVATE QEL_DIBUS_RTF_DIR="${CMAKE_CURRENT_LIST_DIR}/rtf"
  QEL_REPORT_TEMPLATE="${CMAKE_SOURCE_DIR}/dibus/report.rtf")
target_link_libraries(report_print_tests PRIVATE qel_app_ui qel_dibus_ui qel_sim GTest::gtest)
set_target_properties(report_print_tests PROPERTIES AUTOMOC OFF AUTOUIC OFF)
gtest_discover_tests(report_print_tests DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT 300 ENVIRONMENT QT_QPA_PLATFORM=offscreen)

# How the report's cost grows with the template's size (0.5 MB and 5 MB); a measurement to
# run by hand, not a test:
#   cmake --build build --target report_template_benchmark && build/bin/report_template_benchmark
add_executable(report_template_benchmark ${CMAKE_CURRENT_LIST_DIR}/ReportTemplateBenchmark.cpp)
target_compile_definitions(report_template_benchmark PRIVATE QEL_DIBUS_RTF_DIR="${CMAKE_CURRENT_LIST_DIR}/rtf")
target_link_libraries(report_template_benchmark PRIVATE qel_dibus_ui)
set_target_properties(report_template_benchmark PROPERTIES AUTOMOC OFF AUTOUIC OFF)

# A report of 200 000 lines printed to PDF: about 15 s normally, minutes under the sanitizers.
add_executable(report_long_print_tests
  ${CMAKE_SOURCE_DIR}/tests/app/GuiTestMain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReportLongPrintTest.cpp
)
target_include_directories(report_long_print_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/tests/app ${CMAKE_SOURCE_DIR}/tests/support)
target_link_libraries(report_long_print_tests PRIVATE qel_app_ui qel_dibus_ui qel_sim GTest::gtest)
set_target_properties(report_long_print_tests PROPERTIES AUTOMOC OFF AUTOUIC OFF)
gtest_discover_tests(report_long_print_tests DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT 1200 ENVIRONMENT QT_QPA_PLATFORM=offscreen)
