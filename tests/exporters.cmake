# The exporters: one parameterised test runs every case folder tests/data/<exporter>/<case>/
# against a real FTP server; exporter-specific tests sit beside it.
listelo_test(exporter_tests
  exporters/autoscout24_test.cpp
  exporters/exporter_cases_test.cpp
  exporters/export_steps_test.cpp
  exporters/paruvendu_test.cpp
  exporters/rad1_test.cpp)
target_link_libraries(exporter_tests PRIVATE listelo_ftp_testing)
