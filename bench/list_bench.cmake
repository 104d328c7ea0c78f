# The device list's 1,000-row insert, refresh tick and sort, against a bare QTableWidget insert.
if(TARGET vdz_ui)
  add_executable(list_bench ${CMAKE_CURRENT_LIST_DIR}/list_bench.cpp)
  target_link_libraries(list_bench PRIVATE vdz_ui vdz_warnings)
  set_target_properties(list_bench PROPERTIES AUTOMOC ON)
endif()
