# vdz_add_lab_test(NAME SOURCES a.cpp ... [LIBS ...] [ADAPTERS 1|2] [DEVICES N]
#                  [SIM_ARGS --flag value ...] [TIMEOUT seconds] [LABELS lab ...]
#                  [NO_GATEWAY] [ROUTED_DEVICES "N,M"] [ROUTED_SUBNETS "CIDR,CIDR"]
#                  [USES_WINDOW] [USES_CLI])
# Builds a GoogleTest binary whose main() refuses to run outside the lab, and registers one
# CTest test (label "lab") that runs it through scripts/lab in a fresh private lab network.
function(vdz_add_lab_test name)
  cmake_parse_arguments(ARG "NO_GATEWAY;USES_WINDOW;USES_CLI" "ADAPTERS;DEVICES;TIMEOUT;ROUTED_DEVICES;ROUTED_SUBNETS"
                        "SOURCES;LIBS;SIM_ARGS;LABELS" ${ARGN})
  if(NOT ARG_LABELS)
    set(ARG_LABELS lab)
  endif()
  if(NOT ARG_ADAPTERS)
    set(ARG_ADAPTERS 1)
  endif()
  if(NOT ARG_ADAPTERS MATCHES "^[12]$")
    message(FATAL_ERROR "vdz_add_lab_test(${name}): ADAPTERS is 1 or 2")
  endif()
  if(NOT DEFINED ARG_DEVICES)
    set(ARG_DEVICES 20)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} vdz_lab_harness GTest::gtest GTest::gmock
                                        vdz_warnings)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_dependencies(${name} viduzaver-devsim)
  # The window reads this build's language files; the command-line tests run this build's tool.
  if(ARG_USES_WINDOW)
    target_compile_definitions(${name} PRIVATE VDZ_LANGUAGE_DIR="${CMAKE_BINARY_DIR}/bin")
    add_dependencies(${name} vdz_lang)
  endif()
  if(ARG_USES_CLI)
    target_compile_definitions(${name} PRIVATE VDZ_CLI="$<TARGET_FILE:viduzaver-cli>")
    add_dependencies(${name} viduzaver-cli)
  endif()
  string(JOIN " " _sim_args ${ARG_SIM_ARGS})
  set(_gateway)
  if(ARG_NO_GATEWAY)
    set(_gateway --no-gateway)
  endif()
  set(_routed)
  if(DEFINED ARG_ROUTED_DEVICES)
    list(APPEND _routed --routed-devices ${ARG_ROUTED_DEVICES})
  endif()
  if(DEFINED ARG_ROUTED_SUBNETS)
    list(APPEND _routed --routed-subnets ${ARG_ROUTED_SUBNETS})
  endif()
  add_test(NAME ${name}
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/lab run --adapters ${ARG_ADAPTERS} ${_gateway} ${_routed}
            --devices ${ARG_DEVICES} --timeout ${ARG_TIMEOUT} --sim-args "${_sim_args}"
            -- $<TARGET_FILE:${name}>)
  math(EXPR _ctest_timeout "${ARG_TIMEOUT} + 60")
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${_ctest_timeout}
    ENVIRONMENT "TZ=UTC;LC_ALL=C;VDZ_DEVSIM=$<TARGET_FILE:viduzaver-devsim>")
endfunction()
