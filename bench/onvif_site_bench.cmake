# 500 simulated ONVIF cameras listed and identified by the ONVIF side of a search, against a
# bare WS-Discovery receiver, inside the lab; not part of the default ctest run:
# `ctest -C bench -L bench -R onvif_site_bench`.
if(TARGET vdz_onvif AND TARGET vdz_devsim_core)
  vdz_add_lab_bench(onvif_site_bench DEVICES 1 TIMEOUT 300 DEVSIM_CONTROL
                    SIM_ARGS --onvif-cameras 500
                    LIBS vdz_onvif vdz_discovery vdz_devsim_core)
endif()
