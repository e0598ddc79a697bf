# Diagnostics log, configuration store and the hold on the connections' ports: standard
# C++ and POSIX, no Qt.
add_library(qel_shell STATIC
  ${CMAKE_CURRENT_LIST_DIR}/CommandLine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Configuration.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConnectionKeeper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DiagnosticLines.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DiagnosticLog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SerialDeviceList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PortFailureText.cpp
)
target_include_directories(qel_shell PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(qel_shell PUBLIC qel_serial qel_platform)
set_target_properties(qel_shell PROPERTIES AUTOMOC OFF AUTOUIC OFF)
target_compile_definitions(qel_shell PRIVATE QEL_VERSION="${PROJECT_VERSION}")
