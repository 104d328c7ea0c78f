# Free addresses for 20 devices in the lab, against the probe's own cost model; runs only
# inside scripts/lab, as a ctest with label "bench".
vdz_add_lab_bench(probe_bench DEVICES 20 TIMEOUT 240 DEVSIM_CONTROL
                  LIBS vdz_cli_core vdz_discovery vdz_devsim_core)
