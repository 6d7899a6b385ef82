add_executable(bench_store ${CMAKE_CURRENT_LIST_DIR}/bench_store.cpp)
target_link_libraries(bench_store PRIVATE store PkgConfig::SQLITE3)
target_include_directories(bench_store PRIVATE ${CMAKE_CURRENT_LIST_DIR})
