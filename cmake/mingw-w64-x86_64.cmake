# Cross-compiles the Windows programs with Debian's mingw-w64 (x86_64, win32 thread model).
# The runtime is linked statically, so the programs need no MinGW DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PADWRIGHT_MINGW_PREFIX x86_64-w64-mingw32)
foreach(tool gcc g++ windres)
  find_program(PADWRIGHT_MINGW_${tool} ${PADWRIGHT_MINGW_PREFIX}-${tool})
  if(NOT PADWRIGHT_MINGW_${tool})
    message(FATAL_ERROR "${PADWRIGHT_MINGW_PREFIX}-${tool} not found: install g++-mingw-w64-x86-64 "
                        "(scripts/deps.sh win)")
  endif()
endforeach()

set(CMAKE_C_COMPILER ${PADWRIGHT_MINGW_gcc})
set(CMAKE_CXX_COMPILER ${PADWRIGHT_MINGW_g++})
set(CMAKE_RC_COMPILER ${PADWRIGHT_MINGW_windres})

set(CMAKE_FIND_ROOT_PATH /usr/${PADWRIGHT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread (should anything pull it in) go into the executable; the system
# DLLs stay imports, since mingw-w64 ships them only as import libraries.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
