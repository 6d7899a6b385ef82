set(excel_test_dir ${CMAKE_CURRENT_LIST_DIR})
quillmarsh_add_test(tst_excel SOURCES ${excel_test_dir}/tst_excel.cpp
  LIBS excel PkgConfig::FREEXL TIMEOUT 600)
# A reader that grows without end fails here under ASan instead of eating the machine.
quillmarsh_add_test(tst_xlsfuzz SOURCES ${excel_test_dir}/tst_xlsfuzz.cpp LIBS excel
  PkgConfig::FREEXL ASAN_OPTIONS "max_allocation_size_mb=256:hard_rss_limit_mb=1536")
