# Search start to every simulated device registered, against a bare UDP receiver, inside the
# lab; not part of the default ctest run: `ctest -C bench -L bench`.
if(TARGET vdz_discovery AND TARGET vdz_devsim_core)
  add_executable(discovery_bench ${CMAKE_CURRENT_LIST_DIR}/discovery_bench.cpp
                                 ${PROJECT_SOURCE_DIR}/tests/lab/lab_guard.cpp
                                 ${PROJECT_SOURCE_DIR}/tests/lab/devsim_control.cpp)
  target_include_directories(discovery_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(discovery_bench PRIVATE vdz_discovery vdz_devsim_core vdz_warnings)
  add_dependencies(discovery_bench viduzaver-devsim)
  # The site is reloaded to 10, 100 and 1000 devices through the control socket.
  add_test(NAME discovery_bench CONFIGURATIONS bench
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/lab run --devices 1000 --timeout 300
            -- $<TARGET_FILE:discovery_bench>)
  set_tests_properties(discovery_bench PROPERTIES LABELS bench TIMEOUT 360 RUN_SERIAL TRUE
    ENVIRONMENT "TZ=UTC;LC_ALL=C;VDZ_DEVSIM=$<TARGET_FILE:viduzaver-devsim>")
endif()
