# Lining the boxes up with the paper form: undo, scan behind the page, preview.
quillmarsh_add_test(tst_alignment SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_alignment.cpp LIBS app TIMEOUT 600)
