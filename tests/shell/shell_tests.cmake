# Tests of the Qt-free shell: paths, diagnostic log, localisation, settings file, code pages.
vdz_add_test(shell_app_paths_test SOURCES app_paths_test.cpp LIBS vdz_shell)
target_compile_definitions(shell_app_paths_test PRIVATE
  VDZ_EXPECTED_DATA_DIR="${VDZ_DATA_DIR}")
vdz_add_test(shell_diag_log_test SOURCES diag_log_test.cpp diag_log_control_test.cpp
  LIBS vdz_shell)
vdz_add_test(shell_record_writer_test SOURCES record_writer_test.cpp LIBS vdz_shell)
vdz_add_test(shell_language_table_test SOURCES language_table_test.cpp LIBS vdz_shell)
vdz_add_test(shell_settings_file_test SOURCES settings_file_test.cpp ini_file_test.cpp
  LIBS vdz_shell)
vdz_add_test(shell_text_codec_test SOURCES text_codec_test.cpp utf8_text_test.cpp LIBS vdz_shell)
