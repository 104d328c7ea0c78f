# A /20 behind the lab's router, 1000 devices in it, asked one address at a time; not part of the
# default ctest run: `ctest -C bench -L bench -R routed_range_bench`.
if(TARGET vdz_discovery AND TARGET vdz_devsim_core)
  vdz_add_lab_bench(routed_range_bench DEVICES 10 TIMEOUT 300 DEVSIM_CONTROL
                    ROUTED_SUBNETS 10.16.0.0/20 ROUTED_DEVICES 1000
                    LIBS vdz_discovery vdz_devsim_core)
endif()
