# Fails when a folder of the program includes a header of a folder above it:
# dependencies run one way (fronts over the lists' engine and the reusable
# window parts, over the report, over hashing, formats and the platform).
# The lists' engine includes no Qt header either, so that the command line
# can be built without Qt where the report services allow it.
# Run by ctest: cmake -DSOURCE_DIR=<tree> -P CheckLayers.cmake
set(above_formats "report lists skin winstyle app about cli")
set(rules
  "formats:${above_formats}"
  "digest:${above_formats}"
  "i18n:${above_formats}"
  "platform:${above_formats}"
  "report:lists skin winstyle app about cli"
  "lists:skin winstyle app about cli"
  "skin:lists app about cli"
  "winstyle:lists app about cli"
  "app:cli"
  "about:app cli")
set(offenders "")
foreach(rule ${rules})
  string(REPLACE ":" ";" parts "${rule}")
  list(GET parts 0 dir)
  list(GET parts 1 forbidden)
  string(REPLACE " " "|" alternatives "${forbidden}")
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${dir}/*.cpp ${SOURCE_DIR}/${dir}/*.h)
  foreach(source ${sources})
    file(STRINGS ${source} hits REGEX "^[ \t]*#[ \t]*include[ \t]*\"(${alternatives})/")
    if(dir STREQUAL "lists")
      file(STRINGS ${source} qt REGEX "^[ \t]*#[ \t]*include[ \t]*<Q")
      list(APPEND hits ${qt})
    endif()
    if(hits)
      string(REPLACE "${SOURCE_DIR}/" "" relative ${source})
      list(APPEND offenders "${relative}: ${hits}")
    endif()
  endforeach()
endforeach()
if(offenders)
  list(JOIN offenders "\n  " text)
  message(FATAL_ERROR "Includes against the direction of the layers:\n  ${text}")
endif()
