# Qt pieces shared by every window of the program: the dialogs, the bell, the font of the
# pixel-laid-out windows, the timer that ticks under modal boxes and the tick source of
# the serial drivers.
add_library(qel_ui_common STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Bell.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Dialogs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FixedLayoutFont.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtTickSource.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RearmingTimer.cpp
)
target_include_directories(qel_ui_common PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(qel_ui_common PUBLIC Qt6::Widgets Qt6::PrintSupport qel_serial qel_shell qel_platform)

# The windows and the start-up pieces of the program.
add_library(qel_app_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Application.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HelpDocument.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DiagnosticsList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SAbout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SAbout.ui
  ${CMAKE_CURRENT_LIST_DIR}/SComSetup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SComSetup.ui
  ${CMAKE_CURRENT_LIST_DIR}/SPorts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SPorts.ui
  ${CMAKE_CURRENT_LIST_DIR}/SingleInstance.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TerminationSignals.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TrayIcon.cpp
)
target_include_directories(qel_app_ui PUBLIC ${CMAKE_CURRENT_LIST_DIR})
# Qt's serial port module lists the serial devices present, for the port dialog only.
target_link_libraries(qel_app_ui PRIVATE Qt6::SerialPort)
target_link_libraries(qel_app_ui PUBLIC qel_dibus_ui qel_ui_common qel_qel1 qel_shell qel_serial qel_platform)
qt_add_resources(qel_app_ui qel_app_icons
  PREFIX "/"
  BASE ${CMAKE_CURRENT_LIST_DIR}/resources
  FILES ${CMAKE_CURRENT_LIST_DIR}/resources/qel1-agent.png
)

add_executable(qel1-agent ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(qel1-agent PRIVATE qel_app_ui)

# The users' documentation is kept as UTF-8 here and goes beside the program in the
# program's own form of text: code page 1251 with CR LF.
add_executable(qel-text-cp1251 ${CMAKE_CURRENT_LIST_DIR}/buildtools/TextToCp1251.cpp)
target_link_libraries(qel-text-cp1251 PRIVATE qel_platform)
set_target_properties(qel-text-cp1251 PROPERTIES
  AUTOMOC OFF AUTOUIC OFF
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/buildtools)
set(QEL_README_CP1251 ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Readme.txt)
add_custom_command(
  OUTPUT ${QEL_README_CP1251}
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:qel-text-cp1251> ${CMAKE_CURRENT_LIST_DIR}/Readme.txt ${QEL_README_CP1251}
  DEPENDS qel-text-cp1251 ${CMAKE_CURRENT_LIST_DIR}/Readme.txt
  COMMENT "Readme.txt beside the program (code page 1251, CR LF)"
  VERBATIM)
add_custom_target(qel1_agent_readme DEPENDS ${QEL_README_CP1251})
add_dependencies(qel1-agent qel1_agent_readme)

# The same text as it is kept here, UTF-8 with LF, for the help command on a Linux desktop.
set(QEL_README_UTF8 ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Readme.utf8.txt)
configure_file(${CMAKE_CURRENT_LIST_DIR}/Readme.txt ${QEL_README_UTF8} COPYONLY)

# Installed: the program in bin, both forms of the documentation in the documentation
# folder, the icons, and a desktop entry that starts the program by name.
install(TARGETS qel1-agent RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${QEL_README_CP1251} ${QEL_README_UTF8} DESTINATION ${QEL_INSTALL_DOC_DIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/resources/qel1-agent.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/resources/qel1-agent.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/resources/qel1-agent.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
