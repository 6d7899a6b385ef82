quillmarsh_add_test(tst_commands SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_commands.cpp LIBS app TIMEOUT 600)
target_include_directories(tst_commands PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../print
  ${CMAKE_CURRENT_LIST_DIR}/../excel)
