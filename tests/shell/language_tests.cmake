# Language files against the key list in src/shell/language_keys.h and the keys the code uses.
get_property(_vdz_language_files GLOBAL PROPERTY VDZ_LANGUAGE_FILES)
list(JOIN _vdz_language_files "," _vdz_language_files_joined)

vdz_add_test(language_files_test SOURCES language_files_test.cpp LIBS PkgConfig::TINYXML2)
target_compile_definitions(language_files_test PRIVATE
  VDZ_LANG_SOURCE_DIR="${PROJECT_SOURCE_DIR}/lang"
  VDZ_SRC_DIR="${PROJECT_SOURCE_DIR}/src"
  VDZ_LANG_BUILD_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}"
  VDZ_LANG_COPIED_FILES="${_vdz_language_files_joined}")
# The test compares the copies beside the executables with the sources.
add_dependencies(language_files_test vdz_lang)
