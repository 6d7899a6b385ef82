# Installing like any desktop program: the program, its menu entry and its icon, in a .deb
# that names what it needs from Debian (bash scripts/package.sh builds it).
include(GNUInstallDirs)
install(TARGETS quillmarsh RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/quillmarsh.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/quillmarsh.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

string(REGEX REPLACE "^www\\." "" quillmarsh_maker_domain "${QUILLMARSH_MAKER_HOST}")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmarsh)
set(CPACK_PACKAGE_VENDOR Quillmarsh)
set(CPACK_PACKAGE_CONTACT "Quillmarsh <service@${quillmarsh_maker_domain}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "报关单打印: fills in and overlay-prints customs declarations")
set(CPACK_PACKAGE_DESCRIPTION
    "Clerks type the fields of the Chinese customs goods declaration (export and
import) into boxes on a picture of the form; only the texts are printed, onto
pre-printed paper forms. Layouts, printer calibration, a history of printed
declarations, Excel 97-2003 exchange and an optional office PostgreSQL server.")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${QUILLMARSH_MAKER_HOST}/")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# The libraries the program links (Qt, libpq, SQLite, and whatever is linked later) are found
# by dpkg-shlibdeps; what is loaded at run time or only looked up by name is listed here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, libqt6sql6-psql, qt6-translations-l10n, fonts-arphic-uming | fonts-wqy-zenhei")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins")
include(CPack)
