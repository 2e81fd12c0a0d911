# The builder and the tests that run on the build machine, including those
# that drive the engine under Wine.
find_package(GTest REQUIRED)
include(GoogleTest)
enable_testing()

# Which engine the tests run: 32 where this machine's Wine runs 32-bit
# Windows programs, else the 64-bit build of the same sources
# (tools/windows-bits; `make` passes it in).
set(PALISADE_WINDOWS_BITS 32 CACHE STRING "The bitness of the Windows programs that this machine's Wine runs")
set_property(CACHE PALISADE_WINDOWS_BITS PROPERTY STRINGS 32 64)
set(PALISADE_MINGW32_BUILD_DIR "${CMAKE_SOURCE_DIR}/build/mingw" CACHE PATH "The 32-bit engine's build tree")
set(PALISADE_MINGW64_BUILD_DIR "${CMAKE_SOURCE_DIR}/build/mingw64" CACHE PATH "The 64-bit engine's build tree")
if(PALISADE_WINDOWS_BITS STREQUAL "64")
  set(PALISADE_MINGW_BUILD_DIR "${PALISADE_MINGW64_BUILD_DIR}")
  set(PALISADE_TESTED_ENGINE "palisade-engine-x64.exe")
else()
  set(PALISADE_MINGW_BUILD_DIR "${PALISADE_MINGW32_BUILD_DIR}")
  set(PALISADE_TESTED_ENGINE "palisade-engine.exe")
endif()

target_compile_options(palisade_format PRIVATE -Wall -Wextra)

add_subdirectory(builder)
add_subdirectory(sweep)
add_subdirectory(tests/layouts)
add_subdirectory(tests/native)
add_subdirectory(tests/wine)

include(cmake/install.cmake)
