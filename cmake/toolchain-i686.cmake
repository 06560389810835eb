# Cross toolchain for the shipped 32-bit updater (runs on Windows 95 and NT 4.0
# and later) and for the 32-bit build of the tests, which run under 32-bit
# Wine where this machine's kernel runs 32-bit programs. The posix variants
# give the test programs the threads that GoogleTest needs; the updater
# itself links no runtime, so the variant does not reach it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh --win32)
set(UPDATER_TARGET_ARCH i686)
set(UPDATER_WINE_FLAG --win32)
