# Installation with GNUInstallDirs:
#   cmake --install BUILD [--prefix /usr]        (DESTDIR is honoured)
# installs
#   bin/korvalo-cor
#   share/applications/<id>.desktop                 the launcher, "Open with" for WAV files
#   share/metainfo/<id>.metainfo.xml                AppStream description
#   share/icons/hicolor/<n>x<n>/apps/<id>.png       16 to 256 pixels, and scalable/apps/<id>.svg
#   share/doc/korvalo-cor/readme.txt                the user's guide ("info...")
#   share/korvalo-cor/korvalo-demo.wav              the demo that --demo plays
# where <id> is KC_APP_ID. The program looks for its readme and demo relative
# to its own folder first (../share/...), so a relocated or DESTDIR install
# finds them, and then under the prefix configured here (app/install_paths.h).

include(GNUInstallDirs)
# The documentation folder is named after the program, not after the CMake
# project, unless the builder chose one.
if("$CACHE{CMAKE_INSTALL_DOCDIR}" STREQUAL "")
  set(CMAKE_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/korvalo-cor)
  if(IS_ABSOLUTE ${CMAKE_INSTALL_DOCDIR})
    set(CMAKE_INSTALL_FULL_DOCDIR ${CMAKE_INSTALL_DOCDIR})
  else()
    set(CMAKE_INSTALL_FULL_DOCDIR ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DOCDIR})
  endif()
endif()

set(KC_DATA_SUBDIR ${CMAKE_INSTALL_DATADIR}/korvalo-cor)
set(KC_RELEASE_DATE 2026-12-08) # date of the release PROJECT_VERSION names

# The lookup's two steps: relative to the program's folder, then absolute.
set(_full_data ${CMAKE_INSTALL_FULL_DATADIR}/korvalo-cor)
file(RELATIVE_PATH _bin_to_doc ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DOCDIR})
file(RELATIVE_PATH _bin_to_data ${CMAKE_INSTALL_FULL_BINDIR} ${_full_data})
set_source_files_properties(${PROJECT_SOURCE_DIR}/app/install_paths.cpp
  TARGET_DIRECTORY kc_app
  PROPERTIES COMPILE_DEFINITIONS
    "KC_APP_ID=\"${KC_APP_ID}\";KC_BIN_TO_DOC=\"${_bin_to_doc}\";KC_BIN_TO_DATA=\"${_bin_to_data}\";KC_PREFIX_DOC=\"${CMAKE_INSTALL_FULL_DOCDIR}\";KC_PREFIX_DATA=\"${_full_data}\"")

install(TARGETS korvalo-cor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/dist/${KC_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${PROJECT_SOURCE_DIR}/dist/${KC_APP_ID}.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/dist/${KC_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/dist/${KC_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/icons/hicolor
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${PROJECT_SOURCE_DIR}/readme.txt DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${KC_DEMO_WAV} DESTINATION ${KC_DATA_SUBDIR})
