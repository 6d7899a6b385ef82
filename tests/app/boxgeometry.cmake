# "位置和大小…": typed millimetres for the selected boxes, one undo step.
quillmarsh_add_test(tst_boxgeometry SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_boxgeometry.cpp LIBS app)
