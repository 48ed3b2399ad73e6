# What `cmake --install` puts where (under CMAKE_INSTALL_PREFIX):
#   bin/corvalin, bin/fetchwell       the programs
#   lib/libfetchwell.so               the engine, found by the programs in ../lib
#   share/corvalin/home/              defaults copied into each user's program home
#                                     (installed by app/core)
#   share/corvalin/help/              the help pages (Help Topics)
#   share/applications, share/mime/packages, share/icons/hicolor
#                                     the desktop entry, the *.cvn file type and
#                                     their icons, so a project opens on a double click
install(TARGETS corvalin fetchwell_cli RUNTIME DESTINATION bin)
install(TARGETS fetchwell LIBRARY DESTINATION lib)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/help/ DESTINATION share/corvalin/help)
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/corvalin.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/corvalin-mime.xml
        DESTINATION share/mime/packages RENAME corvalin.xml)
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/corvalin.svg
        DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/application-x-corvalin-project.svg
        DESTINATION share/icons/hicolor/scalable/mimetypes)
# The desktop's caches learn of the new file type and entry; a package build
# (DESTDIR set) leaves that to the package's own scripts.
install(CODE [[
  if(NOT DEFINED ENV{DESTDIR} OR "$ENV{DESTDIR}" STREQUAL "")
    find_program(FW_UPDATE_MIME update-mime-database)
    find_program(FW_UPDATE_DESKTOP update-desktop-database)
    if(FW_UPDATE_MIME)
      execute_process(COMMAND ${FW_UPDATE_MIME} "${CMAKE_INSTALL_PREFIX}/share/mime"
                      OUTPUT_QUIET ERROR_QUIET)
    endif()
    if(FW_UPDATE_DESKTOP)
      execute_process(COMMAND ${FW_UPDATE_DESKTOP} "${CMAKE_INSTALL_PREFIX}/share/applications"
                      OUTPUT_QUIET ERROR_QUIET)
    endif()
  endif()
]])
