# Tests of the QEL-1M command link below the window.
add_executable(dibus_tests
  ${CMAKE_CURRENT_LIST_DIR}/DiBusModTransportTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExchangeTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FormattedTextTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/numFormatsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReportTextTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RtfReaderTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RtfFuzzTest.cpp
)
target_include_directories(dibus_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/tests/support)
target_compile_definitions(dibus_tests PRIVATE QEL_DIBUS_RTF_DIR="${CMAKE_CURRENT_LIST_DIR}/rtf")
target_link_libraries(dibus_tests PRIVATE qel_dibus qel_sim GTest::gtest_main)
set_target_properties(dibus_tests PROPERTIES AUTOMOC OFF AUTOUIC OFF)
gtest_discover_tests(dibus_tests DISCOVERY_TIMEOUT 60)

# ReplaceText and the report's filling-in on a template with 200 000 placeholders; a
# measurement, not a test:
#   cmake --build build --target replace_text_bench && build/bin/replace_text_bench
add_executable(replace_text_bench ${CMAKE_CURRENT_LIST_DIR}/ReplaceTextBench.cpp)
target_link_libraries(replace_text_bench PRIVATE qel_dibus)
set_target_properties(replace_text_bench PROPERTIES AUTOMOC OFF AUTOUIC OFF)
