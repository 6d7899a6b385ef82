set(excel_test_dir ${CMAKE_CURRENT_LIST_DIR})
quillmarsh_add_test(tst_xlsfile SOURCES ${excel_test_dir}/tst_xlsfile.cpp ${excel_test_dir}/ExcelOracles.h ${excel_test_dir}/FreeXlOracle.h LIBS excel PkgConfig::FREEXL)
quillmarsh_add_test(tst_excelexport SOURCES ${excel_test_dir}/tst_excelexport.cpp ${excel_test_dir}/FakeHistoryGrid.h ${excel_test_dir}/ProgressWatcher.h ${excel_test_dir}/ExcelOracles.h LIBS excel)
quillmarsh_add_test(tst_excelimport SOURCES ${excel_test_dir}/tst_excelimport.cpp ${excel_test_dir}/FakeHistoryGrid.h ${excel_test_dir}/ProgressWatcher.h ${excel_test_dir}/ExcelOracles.h LIBS excel)
# A reader that grows without end fails here under ASan instead of eating the machine.
quillmarsh_add_test(tst_xlsfuzz SOURCES ${excel_test_dir}/tst_xlsfuzz.cpp ${excel_test_dir}/FakeHistoryGrid.h ${excel_test_dir}/ExcelOracles.h LIBS excel
  ASAN_OPTIONS "max_allocation_size_mb=256:hard_rss_limit_mb=1536")
quillmarsh_add_test(tst_indicater SOURCES ${excel_test_dir}/tst_indicater.cpp LIBS excel)
quillmarsh_add_test(tst_xlslarge SOURCES ${excel_test_dir}/tst_xlslarge.cpp ${excel_test_dir}/FakeHistoryGrid.h ${excel_test_dir}/FreeXlOracle.h ${excel_test_dir}/ExcelOracles.h LIBS excel PkgConfig::FREEXL TIMEOUT 600)
quillmarsh_add_test(tst_freexlfaults SOURCES ${excel_test_dir}/tst_freexlfaults.cpp ${excel_test_dir}/FreeXlOracle.h LIBS excel PkgConfig::FREEXL)
