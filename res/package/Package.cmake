# The Debian package: documents that Debian expects beside the program, and CPack's settings.
set(VARNE_DEBIAN_RELEASE 1)
set(VARNE_MAINTAINER "Varne developers <developers@varne.org>")
set(_varne_docdir ${CMAKE_INSTALL_DATADIR}/doc/varne)
set(_varne_package ${CMAKE_CURRENT_LIST_DIR})

configure_file(${_varne_package}/changelog.Debian ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian
               @ONLY)
# Compressed without names or timestamps, so every build gives the same bytes.
find_program(VARNE_GZIP gzip REQUIRED)
add_custom_command(
    OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz ${CMAKE_CURRENT_BINARY_DIR}/varne.1.gz
    COMMAND ${VARNE_GZIP} -9nc ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian
            > ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz
    COMMAND ${VARNE_GZIP} -9nc ${_varne_package}/../man/varne.1
            > ${CMAKE_CURRENT_BINARY_DIR}/varne.1.gz
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian ${_varne_package}/../man/varne.1
    VERBATIM)
add_custom_target(varne_documents ALL
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz ${CMAKE_CURRENT_BINARY_DIR}/varne.1.gz)

install(FILES ${CMAKE_CURRENT_BINARY_DIR}/varne.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_varne_package}/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz
        DESTINATION ${_varne_docdir})

# The man page renders without a single groff or man warning, as lintian also demands.
find_program(VARNE_MAN man)
if(VARNE_MAN)
    add_test(NAME manpage_clean
             COMMAND sh -c "MANWIDTH=80 '${VARNE_MAN}' --warnings -l '${_varne_package}/../man/varne.1' 2>&1 >/dev/null | grep . && exit 1 || exit 0")
endif()

add_test(NAME manpage_covers_help
         COMMAND sh ${_varne_package}/../man/covers-help.sh $<TARGET_FILE:varne>
                 ${_varne_package}/../man/varne.1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varne)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VARNE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VARNE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VARNE_DEBIAN_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fingerprint enrollment manager for the desktop")
# CPack puts the summary on the first line itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Varne shows two hands in one window; green marks show which of your fingers
are enrolled on a fingerprint reader. Click a bare fingertip to enroll it,
guided through the touches the reader asks for, or a green one to delete it.
.
It works through fprintd and manages the fingers of the user who runs it.")
# The Qt libraries come from what the program links (dpkg-shlibdeps); the reader back end talks
# to fprintd, without which the program has no reader to offer.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS fprintd)
# Qt's Wayland platform, so a Wayland session shows the window natively rather than through
# XWayland; Qt's own buttons (Yes, No, OK) in the user's language. The program works without both.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
