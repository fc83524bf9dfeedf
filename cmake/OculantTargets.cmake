# The two kinds of library the folders build. Every folder lists its own sources and names the
# targets it builds on; nothing is collected by a file-name pattern.
#
#   oculant_core_library(NAME SOURCES a.cpp ... DEPENDS lower targets ...)
#     Plain C++, no Qt: Qt's headers are not on its include path, so a Qt include fails to build.
#   oculant_window_library(NAME SOURCES FormX.cpp ... DEPENDS ...)
#     A subsystem's windows: Qt Widgets (and Charts where asked), moc on.

function(oculant_core_library name)
  cmake_parse_arguments(arg "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${arg_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${arg_DEPENDS})
endfunction()

function(oculant_window_library name)
  cmake_parse_arguments(arg "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${arg_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${arg_DEPENDS} Qt6::Widgets)
endfunction()
