# Warnings for the project's own targets; third-party headers come in as system includes.
add_library(vdz_warnings INTERFACE)
target_compile_options(vdz_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wformat=2)
if(VDZ_WERROR)
  target_compile_options(vdz_warnings INTERFACE -Werror)
  # GCC 12 at -O3 (Release) reports -Wrestrict and -Wmaybe-uninitialized inside libstdc++'s
  # own string code (GCC bugs 105651, 105562): still shown, not fatal there.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
     AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(vdz_warnings INTERFACE
      $<$<CONFIG:Release>:-Wno-error=restrict -Wno-error=maybe-uninitialized>)
  endif()
endif()
# Qt builds (window, dialogs) add these through the same interface target.
target_compile_definitions(vdz_warnings INTERFACE QT_NO_KEYWORDS QT_NO_FOREACH
                                                  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
