# The 64-bit part of the 32-bit product: the hook library and the placing helper built for x86-64
# from the same sources by a build of their own inside this one (MinGW-w64 x86_64), put beside
# Palisor.exe as PalisorDLL64.dll and PalisorHelper64.exe. Palisor.exe runs the helper to place
# PalisorDLL64.dll into the 64-bit programs of the machine.
include(ExternalProject)
ExternalProject_Add(palisor_x86_64
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/x86_64
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-x86_64.cmake
             -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
             -DPALISOR_WERROR=${PALISOR_WERROR}
             -DPALISOR_TESTS=OFF
             -DPALISOR_PLACEMENT_ONLY=ON
             -DPALISOR_HOOK_LIBRARY_NAME=PalisorDLL64
             -DPALISOR_BIN_DIR=${CMAKE_BINARY_DIR}/bin
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target PalisorDLL PalisorHelper
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/bin/PalisorDLL64.dll ${CMAKE_BINARY_DIR}/bin/PalisorHelper64.exe)
