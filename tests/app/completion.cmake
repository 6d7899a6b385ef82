quillmarsh_add_test(tst_completionpopup SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_completionpopup.cpp
  LIBS app)
