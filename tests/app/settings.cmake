# "数据库设置…": the office connection string, its test and the local import.
quillmarsh_add_test(tst_settings SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_settings.cpp LIBS app)
