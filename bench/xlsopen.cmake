# Opening 60,000 number and cell formats and a full 65,536 x 256 sheet, each in a fresh
# process, beside python3-xlrd opening the same files in the same run.
add_executable(bench_xlsopen ${CMAKE_CURRENT_LIST_DIR}/bench_xlsopen.cpp)
target_link_libraries(bench_xlsopen PRIVATE excel Qt6::Core)
