foreach(t tst_versioncheck tst_aboutbox)
  quillmarsh_add_test(${t} SOURCES ${CMAKE_CURRENT_LIST_DIR}/${t}.cpp LIBS app Qt6::Network)
endforeach()
