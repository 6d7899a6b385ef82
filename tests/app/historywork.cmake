quillmarsh_add_test(tst_historywork SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_historywork.cpp LIBS app TIMEOUT 600)
target_include_directories(tst_historywork PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../print
  ${CMAKE_CURRENT_LIST_DIR}/../excel)
