# `make install PREFIX=...`: the builder, the engines it builds on (found by
# the builder in ../share/palisade), the documentation with the project
# files' JSON Schema, and the CMake package of palisade_add_installer().
include(CMakePackageConfigHelpers)

install(TARGETS palisade RUNTIME DESTINATION bin)
install(FILES "${PALISADE_BIN_DIR}/palisade-engine.exe" "${PALISADE_BIN_DIR}/palisade-engine-x64.exe"
  DESTINATION share/palisade)
install(DIRECTORY "${CMAKE_SOURCE_DIR}/docs/" DESTINATION share/doc/palisade)

write_basic_package_version_file("${CMAKE_BINARY_DIR}/PalisadeConfigVersion.cmake" VERSION "${PROJECT_VERSION}"
  COMPATIBILITY SameMinorVersion)
install(FILES "${CMAKE_SOURCE_DIR}/cmake/PalisadeConfig.cmake" "${CMAKE_BINARY_DIR}/PalisadeConfigVersion.cmake"
  DESTINATION share/palisade/cmake)
