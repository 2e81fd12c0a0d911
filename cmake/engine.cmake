# The engine: a static library holding everything, a thin GUI executable,
# and the Windows-side test programs that link the same library.
set(PALISADE_ENGINE_DEFINITIONS UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 __USE_MINGW_ANSI_STDIO=1)
set(PALISADE_SIZE_FLAGS -Os -ffunction-sections -fdata-sections)
# The engine throws nothing and catches nothing (crashes are met by the
# structured-exception filter), so its code carries no unwind tables; nor
# does it ask for types at run time.
set(PALISADE_LEAN_CODE_FLAGS -fno-exceptions -fno-asynchronous-unwind-tables -fno-rtti)
set(PALISADE_STATIC_LINK -static -static-libgcc -static-libstdc++ -Wl,--gc-sections)

target_compile_options(palisade_format PRIVATE ${PALISADE_SIZE_FLAGS} ${PALISADE_LEAN_CODE_FLAGS})

add_library(palisade_engine STATIC
  core/system_facts.cpp
  core/ts_fatal.cpp
  core/ts_components.cpp
  core/ts_crash.cpp
  core/ts_desktop_shell.cpp
  core/ts_csv.cpp
  core/ts_file.cpp
  core/ts_no_follow.cpp
  core/ts_format.cpp
  core/ts_http.cpp
  core/ts_library_errors.cpp
  core/ts_memory.cpp
  core/ts_registry.cpp
  core/ts_resources.cpp
  core/ts_security.cpp
  core/ts_firewall.cpp
  core/ts_shortcut.cpp
  core/ts_system.cpp
  core/ts_text.cpp
  core/ts_code_pages.cpp
  core/ts_thread.cpp
  core/ts_texts.cpp
  core/ts_deferred.cpp
  core/ts_private_folder.cpp
  core/ts_tree.cpp
  core/ts_vector.cpp
  core/ts_window.cpp
  app/command_line.cpp
  app/crash_handler.cpp
  app/entry.cpp
  app/exit.cpp
  app/gates.cpp
  app/install_driver.cpp
  state/installer_state.cpp
  payload/messages.cpp
  payload/payload_reader.cpp
  payload/record_prefetch.cpp
  payload/file_contents.cpp
  payload/script_reader.cpp
  payload/variables.cpp
  actions/applets.cpp
  actions/associations.cpp
  actions/batches.cpp
  actions/batch_text.cpp
  actions/close_apps.cpp
  actions/com_servers.cpp
  actions/components.cpp
  actions/drivers.cpp
  actions/file_destination.cpp
  actions/file_follow_ups.cpp
  actions/files.cpp
  actions/firewall.cpp
  actions/fonts.cpp
  actions/install_log.cpp
  actions/install_folder.cpp
  actions/installed_file.cpp
  actions/install_log_text.cpp
  actions/msi_packages.cpp
  actions/notifications.cpp
  actions/overwrite_rules.cpp
  actions/registration.cpp
  actions/registration_values.cpp
  actions/registry.cpp
  actions/registry_entry.cpp
  actions/restore_point.cpp
  actions/shortcuts.cpp
  actions/summary_choices.cpp
  actions/type_libraries.cpp
  ui/background_layout.cpp
  ui/background_paint.cpp
  ui/background_settings.cpp
  ui/background_window.cpp
  ui/bitmap_file.cpp
  ui/crash_report.cpp
  ui/dialog_look.cpp
  ui/message_box.cpp
  ui/page.cpp
  ui/page_templates.cpp
  ui/page_rules.cpp
  ui/progress.cpp
  ui/resource_picture.cpp
  ui/summary.cpp
  ui/wizard.cpp
  uninstall/deferred.cpp
  uninstall/existing_install.cpp
  record/uninstall_record.cpp
  record/record_text.cpp
  record/record_hashes.cpp
  uninstall/registered_files.cpp
  uninstall/removal_safety.cpp
  uninstall/registry_safety.cpp
  uninstall/restart.cpp
  uninstall/self_delete.cpp
  uninstall/shared_files.cpp
  uninstall/undo_components.cpp
  uninstall/undo_registrations.cpp
  uninstall/uninstaller.cpp
)
target_include_directories(palisade_engine PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(palisade_engine PUBLIC ${PALISADE_ENGINE_DEFINITIONS})
target_compile_options(palisade_engine PRIVATE ${PALISADE_SIZE_FLAGS} ${PALISADE_LEAN_CODE_FLAGS} -Wall -Wextra)
# The places where an exception can still pass: an allocation before the
# out-of-memory handler is installed throws std::bad_alloc, the fatal
# routine catches whatever a hook throws so that its message is still shown,
# and the terminate handler asks a thrown exception what it was.
set_source_files_properties(core/ts_memory.cpp core/ts_fatal.cpp core/ts_library_errors.cpp TARGET_DIRECTORY palisade_engine
  PROPERTIES COMPILE_OPTIONS "-fexceptions;-fasynchronous-unwind-tables")
# Only libraries the system keeps in its known-DLL list are imported; any
# other system DLL is loaded at run time from the system folder, so a DLL
# planted beside the installer is never picked up by the loader.
target_link_libraries(palisade_engine PUBLIC palisade_format
  ole32 oleaut32 shell32 shlwapi advapi32 user32 gdi32 kernel32)

# The pages' pictures are drawn by a small program built for this machine,
# so that every bitmap in the engine comes from source. It packs them with
# the format library's xz encoder and the machine's liblzma.
find_program(PALISADE_HOST_CXX NAMES g++ c++ REQUIRED)
set(PALISADE_ART_DIR "${CMAKE_BINARY_DIR}/art")
set(PALISADE_ART_NAMES side banner tick no_entry folder_search retry)
list(TRANSFORM PALISADE_ART_NAMES APPEND ".bmp" OUTPUT_VARIABLE PALISADE_ART_PLAIN)
list(TRANSFORM PALISADE_ART_NAMES APPEND ".dib.xz" OUTPUT_VARIABLE PALISADE_ART_PACKED)
set(PALISADE_ART_BITMAPS ${PALISADE_ART_PLAIN} ${PALISADE_ART_PACKED})
list(TRANSFORM PALISADE_ART_BITMAPS PREPEND "${PALISADE_ART_DIR}/")
add_custom_command(OUTPUT ${PALISADE_ART_BITMAPS}
  COMMAND ${CMAKE_COMMAND} -E make_directory "${PALISADE_ART_DIR}"
  COMMAND ${PALISADE_HOST_CXX} -std=c++20 -O2 -I "${CMAKE_SOURCE_DIR}" -o "${PALISADE_ART_DIR}/make_art"
    "${CMAKE_SOURCE_DIR}/ui/art/make_art.cpp" "${CMAKE_SOURCE_DIR}/format/xz.cpp" -llzma
  COMMAND "${PALISADE_ART_DIR}/make_art" "${PALISADE_ART_DIR}"
  DEPENDS ui/art/make_art.cpp format/xz.cpp format/xz.h
  COMMENT "Drawing the pages' pictures")
# The pages' dialog templates, compiled on their own and packed into one
# xz stream (tools/pack-dialogs), which ui/pages.rc takes in.
set(PALISADE_PAGE_DIALOGS "${PALISADE_ART_DIR}/page_dialogs.xz")
add_custom_command(OUTPUT "${PALISADE_PAGE_DIALOGS}"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${PALISADE_ART_DIR}"
  COMMAND ${CMAKE_RC_COMPILER} --output-format=res "${CMAKE_SOURCE_DIR}/ui/page_dialogs.rc"
    "${PALISADE_ART_DIR}/page_dialogs.res"
  COMMAND "${CMAKE_SOURCE_DIR}/tools/pack-dialogs" "${PALISADE_ART_DIR}/page_dialogs.res" "${PALISADE_PAGE_DIALOGS}"
  DEPENDS ui/page_dialogs.rc ui/dialog_styles.rh tools/pack-dialogs
  COMMENT "Packing the pages' dialog templates")
add_custom_target(palisade_art DEPENDS ${PALISADE_ART_BITMAPS} "${PALISADE_PAGE_DIALOGS}")
set(PALISADE_PAGE_RESOURCES
  "${PALISADE_ART_BITMAPS};${PALISADE_PAGE_DIALOGS};${CMAKE_SOURCE_DIR}/ui/pages.rc;${CMAKE_SOURCE_DIR}/ui/dialog_styles.rh")
set_source_files_properties(app/palisade-engine.rc PROPERTIES
  OBJECT_DEPENDS "${PALISADE_PAGE_RESOURCES};${CMAKE_SOURCE_DIR}/app/palisade-engine.manifest")

add_executable(palisade-engine WIN32 app/main.cpp app/palisade-engine.rc)
add_dependencies(palisade-engine palisade_art)
target_include_directories(palisade-engine PRIVATE "${PALISADE_ART_DIR}")
target_link_libraries(palisade-engine PRIVATE palisade_engine)
target_link_options(palisade-engine PRIVATE -municode -s ${PALISADE_STATIC_LINK})
set_target_properties(palisade-engine PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PALISADE_BIN_DIR}")
# The 64-bit engine lies beside the shipped 32-bit one under its own name.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set_target_properties(palisade-engine PROPERTIES OUTPUT_NAME "palisade-engine-x64")
endif()

add_subdirectory(tests/engine)
add_subdirectory(tests/helper)
