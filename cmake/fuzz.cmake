# The fuzz tree: the portable readers and the builder's, compiled by clang
# with the fuzzer's coverage and the address and undefined-behaviour
# sanitizers, and one fuzz target per reader. Nothing here lands in
# build/bin: the builder's own command is not built.
set(PALISADE_BIN_DIR "${CMAKE_BINARY_DIR}/bin" CACHE PATH "Where the products land" FORCE)
add_subdirectory(builder EXCLUDE_FROM_ALL)
add_subdirectory(tests/layouts EXCLUDE_FROM_ALL)
add_subdirectory(fuzz)
# The corruption sweep's reads, checked by the same sanitizers (tools/corruption-sweep --asan).
add_subdirectory(sweep EXCLUDE_FROM_ALL)
