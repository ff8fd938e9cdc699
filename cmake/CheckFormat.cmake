# Fails when a C++ source of the tree does not follow .clang-format: sources,
# headers and the .inc fragments that sources include.
# Run by ctest: cmake -DCLANG_FORMAT=<exe> -DSOURCE_DIR=<tree> -P CheckFormat.cmake
set(patterns)
foreach(dir platform formats digest i18n gb2big5 report skin winstyle app about cli tools tests)
  list(APPEND patterns ${SOURCE_DIR}/${dir}/*.cpp ${SOURCE_DIR}/${dir}/*.h
       ${SOURCE_DIR}/${dir}/*.inc)
endforeach()
file(GLOB_RECURSE sources ${patterns} ${SOURCE_DIR}/fuzz/*.cpp ${SOURCE_DIR}/bench/*.cpp)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${sources}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "Sources differ from .clang-format; run clang-format -i on them.")
endif()
