# Live preview of a 1080p25 main stream against ffmpeg, inside the lab; not part of the default
# ctest run: `ctest -C bench -L bench -R preview_bench`.
if(TARGET vdz_media)
  vdz_add_lab_bench(preview_bench DEVICES 1 TIMEOUT 240 DEVSIM_CONTROL
    SIM_ARGS --rtsp-main 1920x1080 --rtsp-rate 25
    LIBS vdz_media vdz_devsim_core)
  target_sources(preview_bench PRIVATE ${PROJECT_SOURCE_DIR}/devsim/clock_strip.cpp)
  target_include_directories(preview_bench PRIVATE ${PROJECT_SOURCE_DIR}/devsim)
endif()
