# Frames, exchange, value decoding and report text: standard C++ and POSIX, no Qt.
add_library(qel_dibus STATIC
  ${CMAKE_CURRENT_LIST_DIR}/DiBusModTransport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Exchange.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FormattedText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/numFormats.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReportText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RichTextDocument.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RtfCodePages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RtfReader.cpp
)
target_include_directories(qel_dibus PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(qel_dibus PUBLIC qel_platform qel_serial)
set_target_properties(qel_dibus PROPERTIES AUTOMOC OFF AUTOUIC OFF)
