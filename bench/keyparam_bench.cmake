# Key parameters of 1000 newly listed devices with 100 silent ones, inside the lab:
# `ctest -C bench -R keyparam_bench`.
if(TARGET vdz_cli_core AND TARGET vdz_devsim_core)
  vdz_add_lab_bench(keyparam_bench DEVICES 1000 TIMEOUT 300 DEVSIM_CONTROL
                    LIBS vdz_cli_core vdz_devsim_core)
endif()
