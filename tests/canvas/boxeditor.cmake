quillmarsh_add_test(tst_boxeditor SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_boxeditor.cpp LIBS canvas)
