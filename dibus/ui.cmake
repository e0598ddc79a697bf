# The QEL-1M control window, its polling and receive, and report printing (Qt).
add_library(qel_dibus_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Qel1mCommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Qel1mCommands.h
  ${CMAKE_CURRENT_LIST_DIR}/Qel1mConnections.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Qel1mConnections.h
  ${CMAKE_CURRENT_LIST_DIR}/Qel1mRecord.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Qel1mRecord.h
  ${CMAKE_CURRENT_LIST_DIR}/ReportDocument.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReportDocument.h
  ${CMAKE_CURRENT_LIST_DIR}/ReportFill.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReportFill.h
  ${CMAKE_CURRENT_LIST_DIR}/ReportPrinter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReportPrinter.h
  ${CMAKE_CURRENT_LIST_DIR}/UQEL1M_Control.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UQEL1M_Control.h
  ${CMAKE_CURRENT_LIST_DIR}/UQEL1M_Control.ui
)
target_include_directories(qel_dibus_ui PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(qel_dibus_ui PUBLIC qel_dibus qel_qel1 qel_ui_common qel_shell qel_platform
                      Qt6::Widgets Qt6::PrintSupport)
set_target_properties(qel_dibus_ui PROPERTIES AUTOMOC ON AUTOUIC ON)

# The report template lies beside the program: copied next to the built executables,
# and installed into the program's shared data folder.
set(QEL_REPORT_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/report.rtf)
add_custom_command(
  OUTPUT ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/report.rtf
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
  COMMAND ${CMAKE_COMMAND} -E copy ${QEL_REPORT_TEMPLATE} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/report.rtf
  DEPENDS ${QEL_REPORT_TEMPLATE}
  COMMENT "Copying report.rtf beside the program")
add_custom_target(qel_report_template ALL DEPENDS ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/report.rtf)
add_dependencies(qel_dibus_ui qel_report_template)
install(FILES ${QEL_REPORT_TEMPLATE} DESTINATION ${QEL_INSTALL_DATA_DIR})
