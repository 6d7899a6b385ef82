# The print job and the calibration, checked on PDF output and on the real print queue
# that scripts/print-queue.sh sets up.
foreach(t tst_printjob tst_calibration)
  quillmarsh_add_test(${t} SOURCES ${CMAKE_CURRENT_LIST_DIR}/${t}.cpp ${CMAKE_CURRENT_LIST_DIR}/PrintFixture.h
    LIBS print app TIMEOUT 600)
  target_compile_definitions(${t} PRIVATE
    QUILLMARSH_PRINT_QUEUE="Quillmarsh-PDF"
    QUILLMARSH_PRINT_QUEUE_OUTPUT="/var/spool/quillmarsh-pdf")
endforeach()
