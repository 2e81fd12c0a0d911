# The engine: a static library holding everything, a thin GUI executable,
# and the Windows-side test programs that link the same library.
set(PALISADE_ENGINE_DEFINITIONS UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 __USE_MINGW_ANSI_STDIO=1)
set(PALISADE_SIZE_FLAGS -Os -ffunction-sections -fdata-sections)
set(PALISADE_STATIC_LINK -static -static-libgcc -static-libstdc++ -Wl,--gc-sections)

target_compile_options(palisade_format PRIVATE ${PALISADE_SIZE_FLAGS})

add_library(palisade_engine STATIC
  core/system_facts.cpp
  core/ts_fatal.cpp
  core/ts_csv.cpp
  core/ts_file.cpp
  core/ts_format.cpp
  core/ts_memory.cpp
  core/ts_registry.cpp
  core/ts_security.cpp
  core/ts_shortcut.cpp
  core/ts_system.cpp
  core/ts_text.cpp
  core/ts_texts.cpp
  core/ts_tree.cpp
  core/ts_vector.cpp
  app/command_line.cpp
  app/entry.cpp
  app/exit.cpp
  app/gates.cpp
  app/install_driver.cpp
  state/installer_state.cpp
  payload/messages.cpp
  payload/payload_reader.cpp
  payload/script_reader.cpp
  payload/variables.cpp
  actions/associations.cpp
  actions/batches.cpp
  actions/close_apps.cpp
  actions/components.cpp
  actions/file_destination.cpp
  actions/file_follow_ups.cpp
  actions/files.cpp
  actions/firewall.cpp
  actions/install_log.cpp
  actions/installed_file.cpp
  actions/install_log_text.cpp
  actions/notifications.cpp
  actions/overwrite_rules.cpp
  actions/registration.cpp
  actions/registration_values.cpp
  actions/registry.cpp
  actions/restore_point.cpp
  actions/shortcuts.cpp
  ui/crash_report.cpp
  ui/message_box.cpp
  ui/progress.cpp
  ui/wizard.cpp
  uninstall/deferred.cpp
  uninstall/existing_install.cpp
  record/uninstall_record.cpp
  record/record_text.cpp
  uninstall/removal_safety.cpp
  uninstall/restart.cpp
  uninstall/self_delete.cpp
  uninstall/shared_files.cpp
  uninstall/undo_registrations.cpp
  uninstall/uninstaller.cpp
)
target_include_directories(palisade_engine PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(palisade_engine PUBLIC ${PALISADE_ENGINE_DEFINITIONS})
target_compile_options(palisade_engine PRIVATE ${PALISADE_SIZE_FLAGS} -Wall -Wextra)
# Only libraries the system keeps in its known-DLL list are imported; any
# other system DLL is loaded at run time from the system folder, so a DLL
# planted beside the installer is never picked up by the loader.
target_link_libraries(palisade_engine PUBLIC palisade_format
  ole32 oleaut32 shell32 shlwapi advapi32 user32 gdi32 kernel32)

add_executable(palisade-engine WIN32 app/main.cpp app/palisade-engine.rc)
target_link_libraries(palisade-engine PRIVATE palisade_engine)
target_link_options(palisade-engine PRIVATE -municode -s ${PALISADE_STATIC_LINK})
set_target_properties(palisade-engine PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PALISADE_BIN_DIR}")

add_subdirectory(tests/engine)
add_subdirectory(tests/helper)
