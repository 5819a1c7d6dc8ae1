# One build configuration for every Karvex target: dependencies, warnings, Qt defines.
find_package(Qt5 5.15 REQUIRED COMPONENTS Core Concurrent Gui Widgets Multimedia Sql PrintSupport Test)
find_package(PkgConfig REQUIRED)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET
  libavdevice libavformat libavcodec libavutil libswscale libavfilter)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(HIDAPI REQUIRED IMPORTED_TARGET hidapi-hidraw)
pkg_check_modules(LIBUDEV REQUIRED IMPORTED_TARGET libudev)
find_package(Threads REQUIRED)

set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTOUIC ON)
set(CMAKE_AUTORCC ON)
set(CMAKE_AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/forms)

add_compile_options(-Wall -Wextra)
add_compile_definitions(
  QT_DISABLE_DEPRECATED_BEFORE=0x050F00
  QT_NO_FOREACH
  QT_USE_QSTRINGBUILDER)

option(KARVEX_SANITIZE "Build with ASan and UBSan" OFF)
if(KARVEX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Every library of one folder: all its sources, headers on the include path of its users.
function(karvex_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  karvex_strict(${name})
endfunction()

# The program's own code is held to more than the tests: no implicit conversions between
# text and bytes (the encoding is always said), and warnings for shadowed names, hidden
# overloads, casts that lose alignment and polymorphic classes without a virtual destructor.
function(karvex_strict name)
  target_compile_options(${name} PRIVATE -Wshadow -Woverloaded-virtual -Wnon-virtual-dtor -Wcast-align)
  target_compile_definitions(${name} PRIVATE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING)
endfunction()
