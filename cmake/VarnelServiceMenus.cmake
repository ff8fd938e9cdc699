# Writes Dolphin's service menus (packaging/filemanager/varnel-dolphin-*.desktop.in)
# with the installed path of the URI helper in their Exec lines: KIO starts
# what Exec names from PATH, and the helper lives beside Nemo's actions.
# Run at install time, where the prefix is known (CPack's /usr included), and
# by the tests:
#   cmake -DVARNEL_SERVICE_MENUS_IN=<dir> -DVARNEL_SERVICE_MENUS_OUT=<dir>
#         -DVARNEL_URI_HELPER=<absolute path> -P VarnelServiceMenus.cmake
# (or include()d with the same variables set).

# The path as one word of a desktop entry's Exec value, as it is written in
# the file: quoted, with the four characters that quoting leaves special
# escaped, "%" doubled so that it is no field code, then the key file's own
# escapes on top.
function(varnel_exec_word path out)
  string(REPLACE "\\" "\\\\" word "${path}")
  string(REPLACE "\"" "\\\"" word "${word}")
  string(REPLACE "`" "\\`" word "${word}")
  string(REPLACE "$" "\\$" word "${word}")
  string(REPLACE "%" "%%" word "${word}")
  string(REPLACE "\\" "\\\\" word "\"${word}\"")
  string(REPLACE "\n" "\\n" word "${word}")
  string(REPLACE "\r" "\\r" word "${word}")
  string(REPLACE "\t" "\\t" word "${word}")
  set(${out} "${word}" PARENT_SCOPE)
endfunction()

foreach(variable VARNEL_SERVICE_MENUS_IN VARNEL_SERVICE_MENUS_OUT VARNEL_URI_HELPER)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "VarnelServiceMenus.cmake: ${variable} is not set")
  endif()
endforeach()
if(NOT IS_ABSOLUTE "${VARNEL_URI_HELPER}")
  message(FATAL_ERROR "VarnelServiceMenus.cmake: the URI helper's path must be absolute: "
                      "${VARNEL_URI_HELPER}")
endif()
# @VARNEL_URI_HELPER@ in the templates becomes the helper's Exec word.
function(varnel_write_service_menus)
  varnel_exec_word("${VARNEL_URI_HELPER}" VARNEL_URI_HELPER)
  foreach(kind report verify compare)
    configure_file("${VARNEL_SERVICE_MENUS_IN}/varnel-dolphin-${kind}.desktop.in"
                   "${VARNEL_SERVICE_MENUS_OUT}/varnel-dolphin-${kind}.desktop" @ONLY)
  endforeach()
endfunction()
varnel_write_service_menus()
