set(excel_test_dir ${CMAKE_CURRENT_LIST_DIR})
quillmarsh_add_test(tst_xlsfile SOURCES ${excel_test_dir}/tst_xlsfile.cpp ${excel_test_dir}/ExcelOracles.h LIBS excel)
quillmarsh_add_test(tst_excelexport SOURCES ${excel_test_dir}/tst_excelexport.cpp ${excel_test_dir}/FakeHistoryGrid.h ${excel_test_dir}/ProgressWatcher.h ${excel_test_dir}/ExcelOracles.h LIBS excel)
quillmarsh_add_test(tst_excelimport SOURCES ${excel_test_dir}/tst_excelimport.cpp ${excel_test_dir}/FakeHistoryGrid.h ${excel_test_dir}/ProgressWatcher.h ${excel_test_dir}/ExcelOracles.h LIBS excel)
