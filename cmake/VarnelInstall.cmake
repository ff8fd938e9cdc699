# Installing Varnel like a Linux program, and its two Debian packages.
#
#   <prefix>/lib/varnel/Varnel/{Varnel,varnel-report,varnel-skin}
#   <prefix>/lib/varnel/Varnel/Skins/Skin20.dll
#   <prefix>/lib/varnel/Librarys/libGB2BIG5.so
#   <prefix>/bin/{varnel,varnel-report,varnel-skin}      relative links into the tree
#   <prefix>/share/applications, metainfo, icons/hicolor, man/man1,
#   bash-completion/completions, doc/varnel, doc/varnel-cli
#   <prefix>/share/kio/servicemenus, nautilus-python/extensions, nemo/actions
#
# Two install components, one package each:
#   cli     varnel-report, the conversion library, its page and completion
#           (QtCore and libcrypto: no GUI library), package varnel-cli;
#   window  the window, varnel-skin (its pictures need QtGui), the skin and
#           the desktop files, package varnel, which depends on varnel-cli.
#
# The run-time tree under lib/varnel is the one the build makes in dist/: the
# programs find the skin and the conversion library from the folder of their
# executable (links resolved), so the links on bin/ work from any prefix and
# in a DESTDIR staging folder that is moved afterwards.

include(GNUInstallDirs)

set(VARNEL_APP_ID io.github.varnel.Varnel)
set(VARNEL_HOMEPAGE https://github.com/varnel/varnel)
# The date of this version's release, for the metainfo, man pages and package
# changelog (fixed, so that builds of one version give the same files).
set(VARNEL_RELEASE_DATE 2026-12-08)
set(VARNEL_MAINTAINER "The Varnel developers <varnel@users.noreply.github.com>"
    CACHE STRING "Maintainer named in the Debian package")
set(VARNEL_INSTALL_TREE lib/varnel)
set(VARNEL_ICON_SIZES 16 22 24 32 48 64 128 256)

set(install_tree_program_dir ${VARNEL_INSTALL_TREE}/Varnel)
if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}")
  message(FATAL_ERROR "CMAKE_INSTALL_BINDIR must be relative to the prefix")
endif()

# ------------------------------------------------------------ run-time tree

install(TARGETS varnel-report RUNTIME DESTINATION ${install_tree_program_dir} COMPONENT cli)
install(TARGETS Varnel varnel-skin
        RUNTIME DESTINATION ${install_tree_program_dir} COMPONENT window)
install(FILES ${VARNEL_SKIN_DIR}/Skin20.dll DESTINATION ${install_tree_program_dir}/Skins
        COMPONENT window)
# Opened with dlopen, never linked or run: installed without execute bits, as
# Debian wants of shared libraries.
install(TARGETS GB2BIG5
        LIBRARY DESTINATION ${VARNEL_INSTALL_TREE}/Librarys COMPONENT cli
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# The commands on bin/: relative links made in the build tree and installed
# as links.
set(varnel_links_dir ${CMAKE_BINARY_DIR}/install-links)
file(MAKE_DIRECTORY ${varnel_links_dir})
foreach(triple "varnel:Varnel:window" "varnel-report:varnel-report:cli"
               "varnel-skin:varnel-skin:window")
  string(REPLACE ":" ";" triple "${triple}")
  list(GET triple 0 command)
  list(GET triple 1 program)
  list(GET triple 2 component)
  file(RELATIVE_PATH target /prefix/${CMAKE_INSTALL_BINDIR}
       /prefix/${install_tree_program_dir}/${program})
  file(CREATE_LINK ${target} ${varnel_links_dir}/${command} SYMBOLIC)
  install(FILES ${varnel_links_dir}/${command} DESTINATION ${CMAKE_INSTALL_BINDIR}
          COMPONENT ${component})
endforeach()

# Bash completions, where bash-completion loads them on demand.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/completion/varnel-report
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions COMPONENT cli)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/completion/varnel-skin
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions COMPONENT window)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/completion/varnel
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions COMPONENT window)

# ------------------------------------------------------ desktop integration

set(varnel_packaging_dir ${CMAKE_BINARY_DIR}/packaging)
configure_file(${PROJECT_SOURCE_DIR}/packaging/${VARNEL_APP_ID}.metainfo.xml.in
               ${varnel_packaging_dir}/${VARNEL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${VARNEL_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications COMPONENT window)
install(FILES ${varnel_packaging_dir}/${VARNEL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo COMPONENT window)
# The verify window's entry (varnel --verify -- LIST...), shown in "Open With"
# for checksum lists: a type of our own (told by the name), so that the entry
# never claims every text file.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${VARNEL_APP_ID}.Verify.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications COMPONENT window)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${VARNEL_APP_ID}.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mime/packages COMPONENT window)

# File-manager entries "Varnel: report", "Varnel: verify", "Varnel: compare"
# (packaging/filemanager; Thunar's are set up by hand, see README.md).
# Nemo's actions and Dolphin's service menus hand over URIs, which
# varnel-nemo-open (beside Nemo's actions, which name it relative to their
# folder) decodes to the exact paths. Dolphin's service menus name it by its
# installed path, written in when the prefix is known (CPack's /usr
# included), each install in a folder of its own so that installs running at
# once do not share one; they carry execute permission: KIO 6 trusts no other.
if(IS_ABSOLUTE "${CMAKE_INSTALL_DATAROOTDIR}")
  message(FATAL_ERROR "CMAKE_INSTALL_DATAROOTDIR must be relative to the prefix")
endif()
set(varnel_filemanager_dir ${PROJECT_SOURCE_DIR}/packaging/filemanager)
install(FILES ${varnel_filemanager_dir}/varnel_nautilus.py
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/nautilus-python/extensions COMPONENT window)
install(FILES ${varnel_filemanager_dir}/varnel-report.nemo_action
              ${varnel_filemanager_dir}/varnel-verify.nemo_action
              ${varnel_filemanager_dir}/varnel-compare.nemo_action
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/nemo/actions COMPONENT window)
install(PROGRAMS ${varnel_filemanager_dir}/varnel-nemo-open
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/nemo/actions COMPONENT window)
install(CODE "
  set(VARNEL_SERVICE_MENUS_IN \"${varnel_filemanager_dir}\")
  string(RANDOM LENGTH 12 varnel_menus_id)
  set(VARNEL_SERVICE_MENUS_OUT \"${varnel_packaging_dir}/servicemenus-\${varnel_menus_id}\")
  set(VARNEL_URI_HELPER
      \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATAROOTDIR}/nemo/actions/varnel-nemo-open\")
  include(\"${PROJECT_SOURCE_DIR}/cmake/VarnelServiceMenus.cmake\")
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATAROOTDIR}/kio/servicemenus\"
       TYPE PROGRAM FILES
       \"\${VARNEL_SERVICE_MENUS_OUT}/varnel-dolphin-report.desktop\"
       \"\${VARNEL_SERVICE_MENUS_OUT}/varnel-dolphin-verify.desktop\"
       \"\${VARNEL_SERVICE_MENUS_OUT}/varnel-dolphin-compare.desktop\")
  file(REMOVE_RECURSE \"\${VARNEL_SERVICE_MENUS_OUT}\")
" COMPONENT window)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME varnel COMPONENT window)

# Installed straight into a prefix (cmake --install to /usr/local, say), the
# prefix's shared MIME database and its desktop entries' MIME cache are
# rebuilt when their tools are there, so that checksum lists get their type
# (text/x-checksum-list, not application/octet-stream) and "Open With" offers
# the verify window. A staged install (DESTDIR set: a package is being made,
# CPack's included) leaves them alone: the caches belong to no package, and
# the package manager's triggers rebuild them where the package installs
# (Debian's shared-mime-info and desktop-file-utils watch
# /usr/share/mime/packages and /usr/share/applications).
install(CODE "
  set(varnel_share \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATAROOTDIR}\")
  if(\"\$ENV{DESTDIR}\" STREQUAL \"\" AND IS_DIRECTORY \"\${varnel_share}/mime/packages\")
    foreach(varnel_pair update-mime-database:mime update-desktop-database:applications)
      string(REPLACE : \";\" varnel_pair \"\${varnel_pair}\")
      list(GET varnel_pair 0 varnel_tool)
      list(GET varnel_pair 1 varnel_folder)
      find_program(varnel_tool_path \"\${varnel_tool}\" NO_CACHE)
      if(varnel_tool_path)
        message(STATUS \"Updating: \${varnel_share}/\${varnel_folder} (\${varnel_tool})\")
        execute_process(COMMAND \"\${varnel_tool_path}\" \"\${varnel_share}/\${varnel_folder}\"
                        RESULT_VARIABLE varnel_result OUTPUT_VARIABLE varnel_said
                        ERROR_VARIABLE varnel_said)
        if(NOT varnel_result EQUAL 0)
          message(WARNING \"\${varnel_tool} \${varnel_share}/\${varnel_folder} failed \"
                          \"(\${varnel_result}): \${varnel_said}\")
        endif()
      endif()
      unset(varnel_tool_path)
    endforeach()
  endif()
" COMPONENT window)

# Icons of the hicolor theme, drawn by the code that draws the window icon.
set(varnel_icon_theme ${varnel_packaging_dir}/icons/hicolor)
set(varnel_icons)
foreach(size ${VARNEL_ICON_SIZES})
  list(APPEND varnel_icons ${varnel_icon_theme}/${size}x${size}/apps/${VARNEL_APP_ID}.png)
endforeach()
add_custom_command(
  OUTPUT ${varnel_icons}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:export-icons> ${varnel_icon_theme} ${VARNEL_APP_ID} ${VARNEL_ICON_SIZES}
  DEPENDS export-icons
  COMMENT "Drawing the program's icons"
  VERBATIM)

# ---------------------------------------------------------------- man pages

# varnel-report and varnel-skin: generated from their --help at build time,
# so the pages follow the programs. help2man reads "Usage:" and "or:" lines
# as the synopsis; a small wrapper gives it the programs' own usage lines in
# that form. varnel: written by hand.
find_program(VARNEL_HELP2MAN help2man)
find_program(VARNEL_GZIP gzip REQUIRED)
set(varnel_man_dir ${varnel_packaging_dir}/man)
set(varnel_man_pages)

configure_file(${PROJECT_SOURCE_DIR}/packaging/man/varnel.1.in ${varnel_man_dir}/varnel.1 @ONLY)
set(VARNEL_MAN_SOURCES ${varnel_man_dir}/varnel.1)

# varnel-skin's commands ("pack    builds ...") start at the margin; help2man
# takes indented lines as the items of a list.
set(varnel_help_sed_varnel-skin "-e '/^$/,$s/^\\(.\\)/  \\1/'")
if(VARNEL_HELP2MAN)
  foreach(program varnel-report varnel-skin)
    set(wrapper ${varnel_man_dir}/help/${program})
    file(GENERATE OUTPUT ${wrapper}
         CONTENT "#!/bin/sh\n\"$<TARGET_FILE:${program}>\" \"$@\" | sed -e '1s/^usage:/Usage:/' -e '2,/^$/s/^ *\\(${program} \\)/  or:  \\1/' ${varnel_help_sed_${program}}\n"
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                          WORLD_READ WORLD_EXECUTE)
    add_custom_command(
      OUTPUT ${varnel_man_dir}/${program}.1
      COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 LC_ALL=
              ${VARNEL_HELP2MAN} --no-info --no-discard-stderr
              --version-string=${PROJECT_VERSION} --source=Varnel
              --include=${PROJECT_SOURCE_DIR}/packaging/man/${program}.h2m
              --output=${varnel_man_dir}/${program}.1 ${wrapper}
      DEPENDS ${program} ${wrapper} ${PROJECT_SOURCE_DIR}/packaging/man/${program}.h2m
      COMMENT "Writing the manual page of ${program}"
      VERBATIM)
    list(APPEND VARNEL_MAN_SOURCES ${varnel_man_dir}/${program}.1)
  endforeach()
else()
  message(WARNING "help2man not found: the manual pages of varnel-report and varnel-skin "
                  "are not made (scripts/install-deps installs it)")
endif()

# Installed compressed, without a time stamp in the gzip header; each page
# goes with its program's component.
foreach(page ${VARNEL_MAN_SOURCES})
  get_filename_component(name ${page} NAME)
  add_custom_command(
    OUTPUT ${varnel_man_dir}/${name}.gz
    COMMAND ${VARNEL_GZIP} -9nc ${page} > ${varnel_man_dir}/${name}.gz
    DEPENDS ${page}
    VERBATIM)
  list(APPEND varnel_man_pages ${varnel_man_dir}/${name}.gz)
  set(component window)
  if(name STREQUAL "varnel-report.1")
    set(component cli)
  endif()
  install(FILES ${varnel_man_dir}/${name}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT ${component})
endforeach()

# The copyright notice and changelog that Debian expects of every package.
set(varnel_doc_dir ${varnel_packaging_dir}/doc)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${varnel_doc_dir}/changelog
               @ONLY)
add_custom_command(
  OUTPUT ${varnel_doc_dir}/changelog.gz
  COMMAND ${VARNEL_GZIP} -9nc ${varnel_doc_dir}/changelog > ${varnel_doc_dir}/changelog.gz
  DEPENDS ${varnel_doc_dir}/changelog
  VERBATIM)
# Each package has its own copy in its own doc folder.
foreach(pair "varnel:window" "varnel-cli:cli")
  string(REPLACE ":" ";" pair "${pair}")
  list(GET pair 0 package)
  list(GET pair 1 component)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${varnel_doc_dir}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endforeach()

add_custom_target(varnel_install_files ALL
  DEPENDS ${varnel_icons} ${varnel_man_pages} ${varnel_doc_dir}/changelog.gz)
install(DIRECTORY ${varnel_icon_theme} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons
        COMPONENT window)

# ---------------------------------------------------------- Debian package

# cpack -G DEB in the build folder: varnel-cli_<version>_<arch>.deb and
# varnel_<version>_<arch>.deb, installed under /usr, stripped, their
# dependencies computed by dpkg-shlibdeps; varnel depends on varnel-cli of
# the same version. Both come from one source, varnel.
set(CPACK_PACKAGE_NAME varnel)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL cli window)
set(CPACK_DEBIAN_PACKAGE_SOURCE varnel)
set(CPACK_DEBIAN_CLI_PACKAGE_NAME varnel-cli)
set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME varnel)
# The interface is Chinese: without a CJK font every label shows as boxes,
# so the window package needs one of the Chinese fonts Debian has.
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS
  "varnel-cli (= ${PROJECT_VERSION}), fonts-noto-cjk | fonts-wqy-zenhei | fonts-wqy-microhei | fonts-arphic-ukai | fonts-arphic-uming")
set(CPACK_PACKAGE_VENDOR "The Varnel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Each package's summary is the first line of its description (no
# CPACK_PACKAGE_DESCRIPTION_SUMMARY, which CPack would put before both).
set(CPACK_PACKAGE_HOMEPAGE_URL ${VARNEL_HOMEPAGE})
set(CPACK_PACKAGE_CONTACT ${VARNEL_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own dialogs in Chinese.
set(CPACK_DEBIAN_WINDOW_PACKAGE_RECOMMENDS "qt6-translations-l10n")
# The GNOME Files entries are a nautilus-python extension.
set(CPACK_DEBIAN_WINDOW_PACKAGE_SUGGESTS "python3-nautilus")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VARNEL_MAINTAINER})
string(CONCAT CPACK_DEBIAN_WINDOW_DESCRIPTION
  "show the version, size, time and checksums of files\n"
  "Varnel tells the identity of files. For a file that you open, drop on its\n"
  "window or name on the command line, and for every file below a folder, it\n"
  "appends a report block: the path, the version of Windows programs and\n"
  "libraries, the size, the modified time and the CRC-32, SHA-1 and MD5\n"
  "values. Its window is painted from a skin file; the interface is\n"
  "Simplified Chinese, with Traditional Chinese and English modes.\n"
  ".\n"
  "This package holds the window and varnel-skin, the tool that packs and\n"
  "unpacks skin files.")
string(CONCAT CPACK_DEBIAN_CLI_DESCRIPTION
  "file reports and checksum lists on the command line\n"
  "varnel-report writes Varnel's report blocks (the path, the version of\n"
  "Windows programs and libraries, the size, the modified time and the\n"
  "checksums of files) to standard output, writes checksum lists in the\n"
  "common formats and checks them, and checks saved reports.\n"
  ".\n"
  "It needs only Qt's core library and OpenSSL's libcrypto: no desktop\n"
  "libraries. The window is in the package varnel.")
include(CPack)
