# The print job and the calibration, checked on PDF output and on the real print queue
# that scripts/print-queue.sh sets up.
quillmarsh_add_test(tst_printjob SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_printjob.cpp ${CMAKE_CURRENT_LIST_DIR}/PrintFixture.h
  LIBS print app TIMEOUT 600)
target_compile_definitions(tst_printjob PRIVATE
  QUILLMARSH_PRINT_QUEUE="Quillmarsh-PDF"
  QUILLMARSH_PRINT_QUEUE_OUTPUT="/var/spool/quillmarsh-pdf")
