foreach(t tst_grid tst_grid_view)
  quillmarsh_add_test(${t} SOURCES ${CMAKE_CURRENT_LIST_DIR}/${t}.cpp ${CMAKE_CURRENT_LIST_DIR}/GridFixture.h
    ${CMAKE_CURRENT_LIST_DIR}/StoreFixture.h LIBS store)
endforeach()
