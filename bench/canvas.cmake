# Scrolling the page with a scanned form of A4 at 600 dpi behind it, beside the same
# scrolling without one. Run: QT_QPA_PLATFORM=offscreen bench_canvas
add_executable(bench_canvas ${CMAKE_CURRENT_LIST_DIR}/bench_canvas.cpp)
target_link_libraries(bench_canvas PRIVATE canvas)
