# The Palisade package for CMake projects: palisade_add_installer() builds a
# Windows installer with `palisade build` as a target.
#
#   list(APPEND CMAKE_PREFIX_PATH /opt/palisade)  # the PREFIX of `make install`
#   find_package(Palisade REQUIRED)
#   palisade_add_installer(AcmeNotesSetup
#     PROJECT packaging/palisade.toml
#     OUTPUT AcmeNotesSetup.exe
#     DEPENDS acme_notes)
#
# PALISADE_EXECUTABLE names the builder: the one installed beside this file,
# else the first `palisade` on the PATH.
if(CMAKE_VERSION VERSION_LESS 3.20)
  set(Palisade_FOUND FALSE)
  set(Palisade_NOT_FOUND_MESSAGE "palisade_add_installer needs CMake 3.20 or newer (DEPFILE with every generator)")
  return()
endif()

find_program(PALISADE_EXECUTABLE palisade HINTS "${CMAKE_CURRENT_LIST_DIR}/../../../bin"
  DOC "The palisade builder of Windows installers")
if(NOT PALISADE_EXECUTABLE)
  set(Palisade_FOUND FALSE)
  set(Palisade_NOT_FOUND_MESSAGE "no palisade program beside ${CMAKE_CURRENT_LIST_DIR} or on the PATH")
  return()
endif()

# palisade_add_installer(TARGET PROJECT <file> [OUTPUT <exe>] [DEPENDS <target or file>...]
#                        [OPTIONS <palisade build option>...] [ALL])
#
# The target TARGET builds OUTPUT (default TARGET.exe; relative to the
# current binary folder) from the project file PROJECT (relative to the
# current source folder). It builds again when the project file, the engine
# or any file the project packs or names changes (`palisade build --depfile`
# lists them), or when a target or file of DEPENDS does. A file added to a
# folder that a pattern covers is picked up once one of those changes, or
# on a clean build. OPTIONS go to `palisade build` as they are (--sign ...,
# --deny-warnings, --jobs 2). ALL makes the installer part of the default
# build.
function(palisade_add_installer target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "ALL" "PROJECT;OUTPUT" "DEPENDS;OPTIONS")
  if(NOT arg_PROJECT)
    message(FATAL_ERROR "palisade_add_installer(${target}): PROJECT <file> is missing")
  endif()
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "palisade_add_installer(${target}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT arg_OUTPUT)
    set(arg_OUTPUT "${target}.exe")
  endif()
  cmake_path(ABSOLUTE_PATH arg_PROJECT BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE OUTPUT_VARIABLE project)
  cmake_path(ABSOLUTE_PATH arg_OUTPUT BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" NORMALIZE OUTPUT_VARIABLE output)
  cmake_path(GET output PARENT_PATH output_folder)
  set(depfile "${CMAKE_CURRENT_BINARY_DIR}/${target}.installer.d")
  add_custom_command(OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${output_folder}"
    COMMAND "${PALISADE_EXECUTABLE}" build "${project}" -o "${output}" --depfile "${depfile}" ${arg_OPTIONS}
    DEPENDS "${project}" ${arg_DEPENDS}
    DEPFILE "${depfile}"
    COMMENT "Building the installer ${arg_OUTPUT}"
    VERBATIM)
  if(arg_ALL)
    add_custom_target(${target} ALL DEPENDS "${output}")
  else()
    add_custom_target(${target} DEPENDS "${output}")
  endif()
endfunction()
