# Fails when code of the program outside platform/ includes an operating-system
# header: OS calls live in platform/ only, so a port replaces that folder and
# nothing else. Tests, benchmarks and fuzz targets may make their fixtures as
# they like and are not checked.
# Run by ctest: cmake -DSOURCE_DIR=<tree> -P CheckOsHeaders.cmake
set(checked about app cli digest formats gb2big5 i18n lists report skin tools winstyle)
set(os_headers
  "unistd\\.h" "fcntl\\.h" "dirent\\.h" "dlfcn\\.h" "sys/[a-z_]+\\.h" "pthread\\.h"
  "poll\\.h" "termios\\.h" "signal\\.h" "windows\\.h" "io\\.h" "direct\\.h"
  "xcb/[a-z_]+\\.h" "X11/[A-Za-z_]+\\.h" "wayland-[a-z-]+\\.h")
list(JOIN os_headers "|" alternatives)
set(offenders "")
foreach(dir ${checked})
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${dir}/*.cpp ${SOURCE_DIR}/${dir}/*.h)
  foreach(source ${sources})
    file(STRINGS ${source} hits REGEX "^[ \t]*#[ \t]*include[ \t]*<(${alternatives})>")
    if(hits)
      string(REPLACE "${SOURCE_DIR}/" "" relative ${source})
      list(APPEND offenders "${relative}: ${hits}")
    endif()
  endforeach()
endforeach()
# Window-system headers belong to platform/os/ alone, not to the Qt-side
# pieces of platform/ either.
set(window_headers "xcb/[a-z_]+\\.h" "X11/[A-Za-z_]+\\.h" "wayland-[a-z-]+\\.h")
list(JOIN window_headers "|" window_alternatives)
file(GLOB platform_sources ${SOURCE_DIR}/platform/qt/*.cpp ${SOURCE_DIR}/platform/qt/*.h)
foreach(source ${platform_sources})
  file(STRINGS ${source} hits REGEX "^[ \t]*#[ \t]*include[ \t]*<(${window_alternatives})>")
  if(hits)
    string(REPLACE "${SOURCE_DIR}/" "" relative ${source})
    list(APPEND offenders "${relative}: ${hits}")
  endif()
endforeach()
if(offenders)
  list(JOIN offenders "\n  " text)
  message(FATAL_ERROR "Operating-system headers outside platform/:\n  ${text}")
endif()
