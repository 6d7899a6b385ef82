quillmarsh_add_test(tst_fontdialog SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_fontdialog.cpp LIBS app)
