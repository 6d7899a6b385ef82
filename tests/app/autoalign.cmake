# "自动对齐": the boxes laid into the cells of scanned forms the test draws itself.
quillmarsh_add_test(tst_autoalign SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_autoalign.cpp LIBS app TIMEOUT 600)
