quillmarsh_add_test(tst_recovery SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_recovery.cpp LIBS app)
