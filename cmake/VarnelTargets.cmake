# Helpers shared by every folder of the tree.

# varnel_add_test(<name> SOURCES <files...> [LIBS <targets...>] [QT | XSERVER | WAYLAND]
#                 [ENV <k=v...>])
#
# Builds one test program and registers each of its GoogleTest cases with
# ctest. Every test runs with a fixed environment so that results do not
# depend on the machine: the offscreen Qt platform, an English UTF-8 locale
# and UTC. QT programs get a main() that creates a QApplication; XSERVER
# programs one that first starts a private Xvfb with openbox and runs the
# QApplication there (their cases skip when neither can start); WAYLAND
# programs one that starts sway inside a bare Xvfb and runs the QApplication
# on Qt's Wayland platform.
function(varnel_add_test name)
  cmake_parse_arguments(ARG "QT;XSERVER;WAYLAND" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  # Without the window-system tests, such a test is defined (so that the
  # calls naming it still work) but neither built by default nor run.
  set(skipped FALSE)
  if((ARG_XSERVER OR ARG_WAYLAND) AND NOT VARNEL_WINDOW_SYSTEM_TESTS)
    set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON)
    set(skipped TRUE)
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} varnel_warnings GTest::gtest GTest::gmock)
  if(ARG_XSERVER)
    target_link_libraries(${name} PRIVATE varnel_x_test_main Qt6::Test)
  elseif(ARG_WAYLAND)
    target_link_libraries(${name} PRIVATE varnel_wayland_test_main Qt6::Test)
  elseif(ARG_QT)
    target_link_libraries(${name} PRIVATE varnel_qt_test_main Qt6::Test)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${name} PRIVATE
    VARNEL_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
    VARNEL_BUILD_DIR="${PROJECT_BINARY_DIR}"
    VARNEL_PROGRAM_DIR="${VARNEL_PROGRAM_DIR}")
  set(env
    QT_QPA_PLATFORM=offscreen
    LANG=en_US.UTF-8
    LC_ALL=
    TZ=UTC
    ${ARG_ENV})
  if(VARNEL_SANITIZE)
    # Leaks inside system libraries the program does not own are not ours.
    list(APPEND env LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp)
  endif()
  if(VARNEL_SANITIZE_THREAD)
    list(APPEND env TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/tsan.supp)
  endif()
  if(skipped)
    return()
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    TEST_LIST ${name}_TESTS
    PROPERTIES TIMEOUT 600)
  # The discovery script flattens list-valued properties, so the environment
  # is set by a file that ctest includes after the discovered tests.
  # Tests under a real window system take turns with one another: each has
  # its own server, but two window managers busy at once on a small machine
  # miss the timing of each other's drags and activations.
  set(lock "")
  if(ARG_XSERVER OR ARG_WAYLAND)
    set(lock " RESOURCE_LOCK window_system")
  endif()
  set(env_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cmake)
  file(WRITE ${env_file}
    "if(${name}_TESTS)\n"
    "  set_tests_properties(\${${name}_TESTS} PROPERTIES ENVIRONMENT \"${env}\"${lock})\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${env_file})
endfunction()

# varnel_add_fuzzer(<name> SOURCES <files...> [LIBS <targets...>])
#
# A libFuzzer target; built only when the compiler is clang, which brings the
# fuzzing runtime.
function(varnel_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
endfunction()

# Places an executable in the program folder of the run-time tree.
function(varnel_program_output target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VARNEL_PROGRAM_DIR})
endfunction()
