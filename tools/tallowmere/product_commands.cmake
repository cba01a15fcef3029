# The product commands of the tallowmere program (doctor, stats chart, stats
# report), included from tools/tallowmere/CMakeLists.txt. doctor computes the
# providers' configuration with the provider core itself (linked statically
# here), so it shows exactly what the libraries will use without widening
# their export lists.
target_sources(tallowmere PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/chart_commands.cc
  ${CMAKE_CURRENT_LIST_DIR}/doctor_checks.cc
  ${CMAKE_CURRENT_LIST_DIR}/doctor_command.cc
  ${CMAKE_CURRENT_LIST_DIR}/doctor_database.cc
  ${CMAKE_CURRENT_LIST_DIR}/doctor_report.cc
  ${CMAKE_CURRENT_LIST_DIR}/html_report.cc
  ${CMAKE_CURRENT_LIST_DIR}/stats_month.cc
  ${CMAKE_CURRENT_LIST_DIR}/svg_chart.cc
)
target_link_libraries(tallowmere PRIVATE provider common platform)
# Where an installation puts the libraries, relative to the prefix, so that
# the installed program finds them (library.cc).
include(GNUInstallDirs)
target_compile_definitions(tallowmere PRIVATE TALLOWMERE_INSTALL_LIBDIR="${CMAKE_INSTALL_LIBDIR}")
