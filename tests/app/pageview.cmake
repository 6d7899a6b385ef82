# The page as it prints: text sizes, the clerk's zoom, selection by clicks, hidden labels.
quillmarsh_add_test(tst_pageview SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_pageview.cpp LIBS app)
