# FreeXL, found through pkg-config. The program reads workbooks with its own checked
# reader (FreeXL 1.0.6 crashes on damaged files and misreads texts spread over more than
# two records); FreeXL stays the independent reader of the tests and the benchmarks.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FREEXL REQUIRED IMPORTED_TARGET GLOBAL freexl)
