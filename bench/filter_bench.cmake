# The filter box over a 1,000-row device list, per keystroke, against a bare QTableWidget
# hiding the same rows.
if(TARGET vdz_ui)
  add_executable(filter_bench ${CMAKE_CURRENT_LIST_DIR}/filter_bench.cpp)
  target_link_libraries(filter_bench PRIVATE vdz_ui vdz_warnings)
  set_target_properties(filter_bench PROPERTIES AUTOMOC ON)
endif()
