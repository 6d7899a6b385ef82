# Workbooks are read with FreeXL, found through pkg-config.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FREEXL REQUIRED IMPORTED_TARGET freexl)
target_link_libraries(excel PUBLIC PkgConfig::FREEXL)
