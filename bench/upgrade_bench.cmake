# Parallel firmware upgrades of 1, 10 and 50 simulated devices, uncapped and capped, against
# bare TCP transfers of the same bytes, inside the lab; not part of the default ctest run:
# `ctest -C bench -L bench -R upgrade_bench`.
if(TARGET vdz_cli_core AND TARGET vdz_sdkproto)
  vdz_add_lab_bench(upgrade_bench DEVICES 50 TIMEOUT 600 DEVSIM_CONTROL
                    LIBS vdz_cli_core vdz_sdkproto vdz_devsim_core SIM_ARGS --reboot-silence 0.3)
endif()
