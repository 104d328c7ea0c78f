# Search start to every simulated device registered, against a bare UDP receiver, inside the
# lab; not part of the default ctest run: `ctest -C bench -L bench`. The site is reloaded to
# 10, 100 and 1000 devices through the control socket.
if(TARGET vdz_discovery AND TARGET vdz_devsim_core)
  vdz_add_lab_bench(discovery_bench DEVICES 1000 TIMEOUT 300 DEVSIM_CONTROL
                    LIBS vdz_discovery vdz_devsim_core)
endif()
