# Free addresses for 20 devices in the lab, against the probe's own cost model; runs only
# inside scripts/lab, as a ctest with label "bench".
add_executable(probe_bench ${CMAKE_CURRENT_LIST_DIR}/probe_bench.cpp
                           ${PROJECT_SOURCE_DIR}/tests/lab/lab_guard.cpp
                           ${PROJECT_SOURCE_DIR}/tests/lab/devsim_control.cpp)
target_include_directories(probe_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(probe_bench PRIVATE vdz_discovery vdz_devsim_core vdz_warnings)
add_dependencies(probe_bench viduzaver-devsim)
if(VDZ_BUILD_TESTS)
  add_test(NAME probe_bench
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/lab run --devices 20 --timeout 240
            -- $<TARGET_FILE:probe_bench>)
  set_tests_properties(probe_bench PROPERTIES LABELS bench TIMEOUT 300 RUN_SERIAL TRUE
    ENVIRONMENT "TZ=UTC;LC_ALL=C;VDZ_DEVSIM=$<TARGET_FILE:viduzaver-devsim>")
endif()
