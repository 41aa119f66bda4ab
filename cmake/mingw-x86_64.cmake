# The same sources for 64-bit Windows: used to run the Windows tests under a 64-bit-only
# Wine on machines whose kernel cannot execute 32-bit code (see README, "Testing").
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QV_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
