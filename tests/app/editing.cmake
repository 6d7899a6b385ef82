foreach(t tst_editing tst_program)
  quillmarsh_add_test(${t} SOURCES ${CMAKE_CURRENT_LIST_DIR}/${t}.cpp LIBS app Qt6::Network)
endforeach()
