# A keystroke with the completion list open over 100,000 records x 30 boxes, median and
# worst, beside one FillHistoryGrid of 10,000 records. Run: QT_QPA_PLATFORM=offscreen bench_completion
find_package(SQLite3 REQUIRED)
add_executable(bench_completion ${CMAKE_CURRENT_LIST_DIR}/bench_completion.cpp)
target_link_libraries(bench_completion PRIVATE store SQLite::SQLite3)
