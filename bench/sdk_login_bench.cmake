# N logins through the SDK against N bare TCP connects to the same simulated devices.
add_executable(sdk_login_bench ${CMAKE_CURRENT_LIST_DIR}/sdk_login_bench.cpp)
target_include_directories(sdk_login_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(sdk_login_bench PRIVATE vdz_netsdk vdz_devserver vdz_warnings)
