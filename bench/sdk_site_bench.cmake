# A simulated site from listing to every device online, inside the lab; not part of the
# default ctest run: `ctest -C bench -L bench`.
if(TARGET vdz_cli_core)
  add_executable(sdk_site_bench ${CMAKE_CURRENT_LIST_DIR}/sdk_site_bench.cpp
                                ${PROJECT_SOURCE_DIR}/tests/lab/lab_guard.cpp)
  target_include_directories(sdk_site_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(sdk_site_bench PRIVATE vdz_cli_core vdz_warnings)
  add_dependencies(sdk_site_bench viduzaver-devsim)
  add_test(NAME sdk_site_bench CONFIGURATIONS bench
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/lab run --devices 1000 --timeout 300
            -- $<TARGET_FILE:sdk_site_bench>)
  set_tests_properties(sdk_site_bench PROPERTIES LABELS bench TIMEOUT 360 RUN_SERIAL TRUE
    ENVIRONMENT "TZ=UTC;LC_ALL=C;VDZ_DEVSIM=$<TARGET_FILE:viduzaver-devsim>")
endif()
