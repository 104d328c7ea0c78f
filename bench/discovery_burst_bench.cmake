# 1000 devices answering in one burst: devices listed at 1 s and at the end of the automatic
# search, the engine against its previous buffer and loop in the same run, inside the lab;
# not part of the default ctest run: `ctest -C bench -L bench -R discovery_burst_bench`.
if(TARGET vdz_discovery AND TARGET vdz_devsim_core)
  vdz_add_lab_bench(discovery_burst_bench DEVICES 1000 TIMEOUT 300 DEVSIM_CONTROL
                    LIBS vdz_discovery vdz_devsim_core)
endif()
