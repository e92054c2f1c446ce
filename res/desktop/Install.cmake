# Desktop integration: launcher, AppStream metainfo and the icon theme entries (data only; the
# program itself is installed by the application's own rules).
set(VARNE_APP_ID org.varne.Varne)
set(VARNE_ICON_SIZES 16 24 32 48 64 96 128 256)
set(_varne_res ${CMAKE_CURRENT_LIST_DIR}/..)

configure_file(${CMAKE_CURRENT_LIST_DIR}/${VARNE_APP_ID}.metainfo.xml.in
               ${CMAKE_CURRENT_BINARY_DIR}/${VARNE_APP_ID}.metainfo.xml @ONLY)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/${VARNE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${VARNE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size IN LISTS VARNE_ICON_SIZES)
    install(FILES ${_varne_res}/icons/png/varne-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${VARNE_APP_ID}.png)
endforeach()
install(FILES ${_varne_res}/icons/varne.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${VARNE_APP_ID}.svg)

# Validators run as tests where they are installed; a missing tool is not a failure of ours.
find_program(VARNE_DESKTOP_FILE_VALIDATE desktop-file-validate)
if(VARNE_DESKTOP_FILE_VALIDATE)
    add_test(NAME desktop_entry_valid
             COMMAND ${VARNE_DESKTOP_FILE_VALIDATE} ${CMAKE_CURRENT_LIST_DIR}/${VARNE_APP_ID}.desktop)
endif()
find_program(VARNE_APPSTREAMCLI appstreamcli)
if(VARNE_APPSTREAMCLI)
    add_test(NAME metainfo_valid
             COMMAND ${VARNE_APPSTREAMCLI} validate --no-net
                     ${CMAKE_CURRENT_BINARY_DIR}/${VARNE_APP_ID}.metainfo.xml)
endif()
