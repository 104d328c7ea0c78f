# Answers per second through the classifier and the block readers, against tinyxml2's bare parse.
add_executable(codec_bench ${CMAKE_CURRENT_LIST_DIR}/codec_bench.cpp)
target_link_libraries(codec_bench PRIVATE vdz_discovery vdz_devconfig vdz_warnings)
target_compile_definitions(codec_bench PRIVATE
  VDZ_BENCH_ANSWER="${PROJECT_SOURCE_DIR}/tests/devconfig/fixtures/answer_nvs_rk.xml")
