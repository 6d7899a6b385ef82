quillmarsh_add_test(tst_page SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_page.cpp LIBS canvas)
