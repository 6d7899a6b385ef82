# "自动对齐" on a scanned form of A4 at 300 dpi, beside loading and scaling that scan.
# Run: QT_QPA_PLATFORM=offscreen bench_fit
add_executable(bench_fit ${CMAKE_CURRENT_LIST_DIR}/bench_fit.cpp)
target_link_libraries(bench_fit PRIVATE canvas)
