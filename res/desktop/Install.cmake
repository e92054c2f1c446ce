# Desktop integration: launcher, AppStream metainfo and the icon theme entries (data only; the
# program itself is installed by the application's own rules).
set(VARNE_APP_ID org.varne.Varne)
set(VARNE_ICON_SIZES 16 24 32 48 64 96 128 256)
set(_varne_res ${CMAKE_CURRENT_LIST_DIR}/..)

# The release date is the Debian changelog's newest entry's, so the two never disagree.
file(STRINGS ${_varne_res}/package/changelog.Debian _varne_signoff REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX MATCH "([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9])" _varne_date
       "${_varne_signoff}")
if(NOT _varne_date)
    message(FATAL_ERROR "No date in the newest entry of res/package/changelog.Debian")
endif()
set(_varne_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND _varne_months ${CMAKE_MATCH_2} _varne_month)
math(EXPR _varne_month "${_varne_month} + 1" OUTPUT_FORMAT DECIMAL)
string(LENGTH "${_varne_month}" _varne_month_digits)
if(_varne_month_digits EQUAL 1)
    set(_varne_month 0${_varne_month})
endif()
set(VARNE_RELEASE_DATE ${CMAKE_MATCH_3}-${_varne_month}-${CMAKE_MATCH_1})

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
    # Strict: infos fail too. The metainfo names its developer both ways, so that software
    # centres on appstream before and after 1.0 show it, and each version flags the form it does
    # not use: only that hint is lowered to a printed pedantic one (before 1.0 it is the general
    # unknown-tag, which a non-strict run would not fail on either).
    execute_process(COMMAND ${VARNE_APPSTREAMCLI} --version OUTPUT_VARIABLE _varne_appstream)
    string(REGEX MATCH "[0-9]+\\.[0-9]+" _varne_appstream "${_varne_appstream}")
    if(_varne_appstream VERSION_LESS 1.0)
        set(_varne_developer_hint unknown-tag)
    else()
        set(_varne_developer_hint developer-name-tag-deprecated)
    endif()
    add_test(NAME metainfo_valid
             COMMAND ${VARNE_APPSTREAMCLI} validate --no-net --strict --pedantic
                     --override=${_varne_developer_hint}=pedantic
                     ${CMAKE_CURRENT_BINARY_DIR}/${VARNE_APP_ID}.metainfo.xml)
endif()
