# The layout a new database starts with, the step from schema version 1, table 底图.
quillmarsh_add_test(tst_newdatabase SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_newdatabase.cpp ${CMAKE_CURRENT_LIST_DIR}/StoreFixture.h LIBS store)
