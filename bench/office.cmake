add_executable(bench_office ${CMAKE_CURRENT_LIST_DIR}/bench_office.cpp)
target_link_libraries(bench_office PRIVATE store Qt6::Widgets)
target_include_directories(bench_office PRIVATE ${CMAKE_CURRENT_LIST_DIR})
