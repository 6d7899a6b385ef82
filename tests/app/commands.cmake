quillmarsh_add_test(tst_commands SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_commands.cpp LIBS app TIMEOUT 600)
