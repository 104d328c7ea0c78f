# The window's refresh tick over 1,000 devices against a bare QTableWidget insert; no network.
# Not part of the default ctest run: `ctest -C bench -L bench`.
if(TARGET vdz_app)
  add_executable(refresh_bench ${CMAKE_CURRENT_LIST_DIR}/refresh_bench.cpp)
  target_include_directories(refresh_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(refresh_bench PRIVATE vdz_app vdz_warnings)
  if(TARGET vdz_lang)
    # The column captions and running-time units come from the language files beside it.
    add_dependencies(refresh_bench vdz_lang)
  endif()
  add_test(NAME refresh_bench CONFIGURATIONS bench COMMAND $<TARGET_FILE:refresh_bench>)
  set_tests_properties(refresh_bench PROPERTIES LABELS bench TIMEOUT 300 RUN_SERIAL TRUE
    ENVIRONMENT "TZ=UTC;LC_ALL=C;QT_QPA_PLATFORM=offscreen")
endif()
