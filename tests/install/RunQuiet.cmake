# Runs TOOL with ARGS and fails unless it exits with 0 and says nothing; a
# tool that reports success in words (appstreamcli) passes when its output
# matches EXPECT_REGEX and holds no error, warning or info line ("E:", "W:",
# "I:"). With DISCARD_STDOUT only its standard error counts (for man, whose
# output is the page).
#   cmake -DTOOL=<name> -DARGS=<a|b|...> [-DEXPECT_REGEX=<re>] [-DDISCARD_STDOUT=ON]
#         -P RunQuiet.cmake
string(REPLACE "|" ";" ARGS "${ARGS}")
find_program(tool_path ${TOOL})
if(NOT tool_path)
  message(FATAL_ERROR "${TOOL} is not installed (scripts/install-deps installs it)")
endif()
execute_process(COMMAND ${tool_path} ${ARGS}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(DISCARD_STDOUT)
  set(out "")
endif()
set(said "${out}${err}")
string(STRIP "${said}" said_stripped)
set(quiet FALSE)
if(DEFINED EXPECT_REGEX)
  if(said_stripped MATCHES "${EXPECT_REGEX}" AND NOT said_stripped MATCHES "(^|\n)[EWI]: ")
    set(quiet TRUE)
  endif()
elseif(said_stripped STREQUAL "")
  set(quiet TRUE)
endif()
if(NOT result EQUAL 0 OR NOT quiet)
  message(FATAL_ERROR "${TOOL} ${ARGS}: exit ${result}\n${said}")
endif()
message(STATUS "${TOOL}: ${said}")
