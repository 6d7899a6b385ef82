# The Excel export and import of 10,000 records through the main window beside the same
# transfers headless, in one run. Run: QT_QPA_PLATFORM=offscreen bench_window [runs]
add_executable(bench_window ${CMAKE_CURRENT_LIST_DIR}/bench_window.cpp)
target_link_libraries(bench_window PRIVATE app)
