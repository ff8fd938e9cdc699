# Installing Varnel like a Linux program, and its Debian package.
#
#   <prefix>/lib/varnel/Varnel/{Varnel,varnel-report,varnel-skin}
#   <prefix>/lib/varnel/Varnel/Skins/Skin20.dll
#   <prefix>/lib/varnel/Librarys/libGB2BIG5.so
#   <prefix>/bin/{varnel,varnel-report,varnel-skin}      relative links into the tree
#   <prefix>/share/applications, metainfo, icons/hicolor, man/man1, doc/varnel
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

install(TARGETS Varnel varnel-report varnel-skin
        RUNTIME DESTINATION ${install_tree_program_dir})
install(FILES ${VARNEL_SKIN_DIR}/Skin20.dll DESTINATION ${install_tree_program_dir}/Skins)
# Opened with dlopen, never linked or run: installed without execute bits, as
# Debian wants of shared libraries.
install(TARGETS GB2BIG5
        LIBRARY DESTINATION ${VARNEL_INSTALL_TREE}/Librarys
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# The commands on bin/: relative links made in the build tree and installed
# as links.
set(varnel_links_dir ${CMAKE_BINARY_DIR}/install-links)
file(MAKE_DIRECTORY ${varnel_links_dir})
foreach(pair "varnel:Varnel" "varnel-report:varnel-report" "varnel-skin:varnel-skin")
  string(REPLACE ":" ";" pair "${pair}")
  list(GET pair 0 command)
  list(GET pair 1 program)
  file(RELATIVE_PATH target /prefix/${CMAKE_INSTALL_BINDIR}
       /prefix/${install_tree_program_dir}/${program})
  file(CREATE_LINK ${target} ${varnel_links_dir}/${command} SYMBOLIC)
  install(FILES ${varnel_links_dir}/${command} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

# ------------------------------------------------------ desktop integration

set(varnel_packaging_dir ${CMAKE_BINARY_DIR}/packaging)
configure_file(${PROJECT_SOURCE_DIR}/packaging/${VARNEL_APP_ID}.metainfo.xml.in
               ${varnel_packaging_dir}/${VARNEL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${VARNEL_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${varnel_packaging_dir}/${VARNEL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)

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

# Installed compressed, without a time stamp in the gzip header.
foreach(page ${VARNEL_MAN_SOURCES})
  get_filename_component(name ${page} NAME)
  add_custom_command(
    OUTPUT ${varnel_man_dir}/${name}.gz
    COMMAND ${VARNEL_GZIP} -9nc ${page} > ${varnel_man_dir}/${name}.gz
    DEPENDS ${page}
    VERBATIM)
  list(APPEND varnel_man_pages ${varnel_man_dir}/${name}.gz)
endforeach()
install(FILES ${varnel_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The copyright notice and changelog that Debian expects of every package.
set(varnel_doc_dir ${varnel_packaging_dir}/doc)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${varnel_doc_dir}/changelog
               @ONLY)
add_custom_command(
  OUTPUT ${varnel_doc_dir}/changelog.gz
  COMMAND ${VARNEL_GZIP} -9nc ${varnel_doc_dir}/changelog > ${varnel_doc_dir}/changelog.gz
  DEPENDS ${varnel_doc_dir}/changelog
  VERBATIM)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${varnel_doc_dir}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/varnel)

add_custom_target(varnel_install_files ALL
  DEPENDS ${varnel_icons} ${varnel_man_pages} ${varnel_doc_dir}/changelog.gz)
install(DIRECTORY ${varnel_icon_theme} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons)

# ---------------------------------------------------------- Debian package

# cpack -G DEB in the build folder: varnel_<version>_<arch>.deb installed
# under /usr, stripped, its dependencies computed by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME varnel)
set(CPACK_PACKAGE_VENDOR "The Varnel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "show the version, size, time and checksums of files")
set(CPACK_PACKAGE_HOMEPAGE_URL ${VARNEL_HOMEPAGE})
set(CPACK_PACKAGE_CONTACT ${VARNEL_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The interface is Chinese: without a CJK font its texts show as boxes.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-zenhei, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VARNEL_MAINTAINER})
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Varnel tells the identity of files. For a file that you open, drop on its\n"
  "window or name on the command line, and for every file below a folder, it\n"
  "appends a report block: the path, the version of Windows programs and\n"
  "libraries, the size, the modified time and the CRC-32, SHA-1 and MD5\n"
  "values. Its window is painted from a skin file; the interface is\n"
  "Simplified Chinese, with Traditional Chinese and English modes.\n"
  ".\n"
  "The varnel-report command writes the same blocks to standard output.")
include(CPack)
