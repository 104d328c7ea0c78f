# Warnings for the project's own targets; third-party headers come in as system includes.
add_library(vdz_warnings INTERFACE)
target_compile_options(vdz_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wformat=2)
if(VDZ_WERROR)
  target_compile_options(vdz_warnings INTERFACE -Werror)
endif()
# Qt builds (window, dialogs) add these through the same interface target.
target_compile_definitions(vdz_warnings INTERFACE QT_NO_KEYWORDS QT_NO_FOREACH
                                                  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
