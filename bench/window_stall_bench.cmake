# The window on 100 devices with 20 gone silent, five batch commands through its command table:
# `ctest -C bench -R window_stall_bench`. It opens the window as the lab tests do (their
# offscreen environment is a GoogleTest one).
find_package(GTest QUIET)
if(TARGET vdz_app AND TARGET vdz_devsim_core AND TARGET GTest::gtest)
  vdz_add_lab_bench(window_stall_bench DEVICES 100 TIMEOUT 600 DEVSIM_CONTROL
                    LIBS vdz_app vdz_devsim_core GTest::gtest)
  target_compile_definitions(window_stall_bench PRIVATE VDZ_LANGUAGE_DIR="${CMAKE_BINARY_DIR}/bin")
  add_dependencies(window_stall_bench vdz_lang)
endif()
