# A simulated site from listing to every device online, inside the lab; not part of the
# default ctest run: `ctest -C bench -L bench`.
if(TARGET vdz_cli_core)
  vdz_add_lab_bench(sdk_site_bench DEVICES 1000 TIMEOUT 300 LIBS vdz_cli_core)
endif()
