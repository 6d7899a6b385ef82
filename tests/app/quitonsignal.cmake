quillmarsh_add_test(tst_quitonsignal SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_quitonsignal.cpp LIBS app)
