# Pacer tick accuracy and MP3 decode speed against the ffmpeg command in the same run.
add_executable(audio_bench ${CMAKE_CURRENT_LIST_DIR}/audio_bench.cpp)
target_link_libraries(audio_bench PRIVATE vdz_audio vdz_warnings)
