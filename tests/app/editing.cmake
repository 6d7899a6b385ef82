quillmarsh_add_test(tst_editing SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_editing.cpp LIBS app)
