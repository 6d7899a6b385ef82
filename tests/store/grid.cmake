quillmarsh_add_test(tst_grid SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_grid.cpp ${CMAKE_CURRENT_LIST_DIR}/GridFixture.h
  ${CMAKE_CURRENT_LIST_DIR}/StoreFixture.h LIBS store)
