foreach(t tst_history tst_layouts tst_database)
  quillmarsh_add_test(${t} SOURCES ${CMAKE_CURRENT_LIST_DIR}/${t}.cpp ${CMAKE_CURRENT_LIST_DIR}/StoreFixture.h LIBS store)
endforeach()
