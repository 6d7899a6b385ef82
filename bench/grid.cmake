# The history grid filled from 10,000 stored declarations, beside the raw read of the
# same query; one header-click sort beside a plain sort of the column; the checks before
# paper of one declaration beside one fill; peak memory with the grid filled beside an
# empty grid. Run: QT_QPA_PLATFORM=offscreen bench_grid
find_package(SQLite3 REQUIRED)
add_executable(bench_grid ${CMAKE_CURRENT_LIST_DIR}/bench_grid.cpp)
target_link_libraries(bench_grid PRIVATE store SQLite::SQLite3)
