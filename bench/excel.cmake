# Export and import of 10,000 records beside Spreadsheet::WriteExcel, a bare FreeXL read
# and raw SQLite inserts, in the same run.
pkg_check_modules(BENCH_SQLITE REQUIRED IMPORTED_TARGET sqlite3)
add_executable(bench_excel ${CMAKE_CURRENT_LIST_DIR}/bench_excel.cpp)
set_target_properties(bench_excel PROPERTIES AUTOMOC ON)
target_link_libraries(bench_excel PRIVATE excel PkgConfig::FREEXL PkgConfig::BENCH_SQLITE Qt6::Widgets)
