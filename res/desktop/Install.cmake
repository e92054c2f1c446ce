# Desktop integration: launcher, AppStream metainfo and the icon theme entries (data only; the
# program itself is installed by the application's own rules).
set(VARNE_APP_ID org.varne.Varne)
set(VARNE_ICON_SIZES 16 24 32 48 64 96 128 256)
set(_varne_res ${CMAKE_CURRENT_LIST_DIR}/..)

# Both get every language of po/ (msgfmt reads them from VARNE_PO_DIR's LINGUAS). msgfmt knows
# the metainfo by its file name, so the configured template keeps it, in a folder of its own.
set(VARNE_DESKTOP_ENTRY ${CMAKE_CURRENT_BINARY_DIR}/${VARNE_APP_ID}.desktop
    CACHE INTERNAL "the built desktop entry, for the accessibility test")
set(VARNE_METAINFO ${CMAKE_CURRENT_BINARY_DIR}/${VARNE_APP_ID}.metainfo.xml)
set(_varne_metainfo_template ${CMAKE_CURRENT_BINARY_DIR}/template/${VARNE_APP_ID}.metainfo.xml)
configure_file(${CMAKE_CURRENT_LIST_DIR}/${VARNE_APP_ID}.metainfo.xml.in
               ${_varne_metainfo_template} @ONLY)
add_custom_command(OUTPUT ${VARNE_DESKTOP_ENTRY}
    COMMAND ${VARNE_MSGFMT} --desktop --template=${CMAKE_CURRENT_LIST_DIR}/${VARNE_APP_ID}.desktop.in
            -d ${VARNE_PO_DIR} -o ${VARNE_DESKTOP_ENTRY}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/${VARNE_APP_ID}.desktop.in ${VARNE_PO_COPIES}
            ${VARNE_PO_DIR}/LINGUAS
    VERBATIM)
add_custom_command(OUTPUT ${VARNE_METAINFO}
    COMMAND ${VARNE_MSGFMT} --xml --template=${_varne_metainfo_template}
            -d ${VARNE_PO_DIR} -o ${VARNE_METAINFO}
    DEPENDS ${_varne_metainfo_template} ${VARNE_PO_COPIES} ${VARNE_PO_DIR}/LINGUAS
    VERBATIM)
add_custom_target(varne_desktop_files ALL DEPENDS ${VARNE_DESKTOP_ENTRY} ${VARNE_METAINFO})

install(FILES ${VARNE_DESKTOP_ENTRY} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VARNE_METAINFO}
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
             COMMAND ${VARNE_DESKTOP_FILE_VALIDATE} ${VARNE_DESKTOP_ENTRY})
endif()
find_program(VARNE_APPSTREAMCLI appstreamcli)
if(VARNE_APPSTREAMCLI)
    add_test(NAME metainfo_valid
             COMMAND ${VARNE_APPSTREAMCLI} validate --no-net
                     ${VARNE_METAINFO})
endif()
