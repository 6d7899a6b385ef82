# The print job of a filled declaration to PDF, beside a bare drawText loop of the same
# texts. `bench_print --queue` instead prints one declaration on the default printer.
add_executable(bench_print ${CMAKE_CURRENT_LIST_DIR}/bench_print.cpp)
target_link_libraries(bench_print PRIVATE print app)
