set(excel_test_dir ${CMAKE_CURRENT_LIST_DIR})
quillmarsh_add_test(tst_xlsfile SOURCES ${excel_test_dir}/tst_xlsfile.cpp ${excel_test_dir}/ExcelOracles.h LIBS excel)
