# The installed program and its Debian package (make package): the executable in
# bin/ and the window program in lib/gaveldesk/, the defaults a first start copies into
# the user's data folder, menu entry, icons, AppStream data, manual page.
include(GNUInstallDirs)
set(P ${CMAKE_SOURCE_DIR}/packaging)

install(TARGETS gaveldesk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A program of the package's own, not for the PATH.
install(TARGETS gaveldesk-fenster RUNTIME DESTINATION lib/gaveldesk)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/bin ${CMAKE_SOURCE_DIR}/resources/Help
        DESTINATION ${CMAKE_INSTALL_DATADIR}/gaveldesk)
install(FILES ${P}/de.gavelmail.gaveldesk.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${P}/de.gavelmail.gaveldesk.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${P}/icons/gaveldesk.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
  install(FILES ${P}/icons/gaveldesk-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME gaveldesk.png)
endforeach()

# Debian wants the manual page and the changelog compressed, without a time stamp.
set(GD_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
add_custom_command(OUTPUT ${GD_PACKAGING_OUT}/gaveldesk.1.gz ${GD_PACKAGING_OUT}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${GD_PACKAGING_OUT}
    COMMAND gzip -9n -c ${P}/gaveldesk.1 > ${GD_PACKAGING_OUT}/gaveldesk.1.gz
    COMMAND gzip -9n -c ${P}/changelog > ${GD_PACKAGING_OUT}/changelog.gz
    DEPENDS ${P}/gaveldesk.1 ${P}/changelog)
add_custom_target(packaging_docs ALL DEPENDS ${GD_PACKAGING_OUT}/gaveldesk.1.gz ${GD_PACKAGING_OUT}/changelog.gz)
install(FILES ${GD_PACKAGING_OUT}/gaveldesk.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${P}/copyright ${GD_PACKAGING_OUT}/changelog.gz ${P}/licences/LIZENZEN.txt
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/gaveldesk)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME gaveldesk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "GavelMail <team@gavelmail.example>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "GavelMail <team@gavelmail.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "after-sale desk for online auctions")
set(CPACK_PACKAGE_DESCRIPTION "Gaveldesk reads the end-of-auction notification mails of sales
and purchases, keeps partners and items in an encrypted database in the
user's home folder, writes the mails that follow from templates, matches
bank statements against open sales, writes invoices as PDF and keeps
daily backups.")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://gavelmail.example/gaveldesk")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own dialogs and menus speak German through Debian's translations; an e-invoice's
# PDF/A names the sRGB profile of icc-profiles-free.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, icc-profiles-free")
# The window needs a display plugin; Debian ships them apart from the library.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
