# As mingw-i686.cmake, with the compilers of the POSIX thread model, whose
# C++ library has std::thread (Debian: g++-mingw-w64-i686-posix). For
# kivpack.exe, which links that library and winpthread statically.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_C_COMPILER ${KIV_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KIV_TRIPLE}-g++-posix)
