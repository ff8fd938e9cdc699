# Fails when a C++ source of the tree does not follow .clang-format.
# Run by ctest: cmake -DCLANG_FORMAT=<exe> -DSOURCE_DIR=<tree> -P CheckFormat.cmake
file(GLOB_RECURSE sources
  ${SOURCE_DIR}/platform/*.cpp ${SOURCE_DIR}/platform/*.h
  ${SOURCE_DIR}/digest/*.cpp ${SOURCE_DIR}/digest/*.h
  ${SOURCE_DIR}/i18n/*.cpp ${SOURCE_DIR}/i18n/*.h
  ${SOURCE_DIR}/gb2big5/*.cpp ${SOURCE_DIR}/gb2big5/*.h
  ${SOURCE_DIR}/report/*.cpp ${SOURCE_DIR}/report/*.h
  ${SOURCE_DIR}/skin/*.cpp ${SOURCE_DIR}/skin/*.h
  ${SOURCE_DIR}/winstyle/*.cpp ${SOURCE_DIR}/winstyle/*.h
  ${SOURCE_DIR}/app/*.cpp ${SOURCE_DIR}/app/*.h
  ${SOURCE_DIR}/about/*.cpp ${SOURCE_DIR}/about/*.h
  ${SOURCE_DIR}/cli/*.cpp ${SOURCE_DIR}/cli/*.h
  ${SOURCE_DIR}/tools/*.cpp ${SOURCE_DIR}/tools/*.h
  ${SOURCE_DIR}/fuzz/*.cpp ${SOURCE_DIR}/bench/*.cpp
  ${SOURCE_DIR}/tests/*.cpp ${SOURCE_DIR}/tests/*.h)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${sources}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "Sources differ from .clang-format; run clang-format -i on them.")
endif()
