# The builder and the tests that run on the build machine, including those
# that drive the engine under Wine.
find_package(GTest REQUIRED)
include(GoogleTest)
enable_testing()

set(PALISADE_MINGW_BUILD_DIR "${CMAKE_SOURCE_DIR}/build/mingw" CACHE PATH "The engine's build tree")

target_compile_options(palisade_format PRIVATE -Wall -Wextra)

add_subdirectory(builder)
add_subdirectory(sweep)
add_subdirectory(tests/layouts)
add_subdirectory(tests/native)
add_subdirectory(tests/wine)

include(cmake/install.cmake)
