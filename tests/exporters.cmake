# The exporters: one parameterised test runs every case folder tests/data/<exporter>/<case>/
# against a real FTP server (and SMTP server, for the target that announces by mail);
# exporter-specific tests sit beside it.
include(${CMAKE_CURRENT_LIST_DIR}/support/mail_python.cmake)
listelo_test(exporter_tests
  exporters/autoscout24_test.cpp
  exporters/exporter_cases_test.cpp
  exporters/export_steps_test.cpp
  exporters/history_test.cpp
  exporters/largus_test.cpp
  exporters/neowebcar_test.cpp
  exporters/paruvendu_test.cpp
  exporters/pvo_test.cpp
  exporters/quoted_exports_test.cpp
  exporters/rad1_test.cpp
  exporters/sitautopro_test.cpp
  exporters/topannonces_test.cpp
  support/smtp_server.cpp)
target_link_libraries(exporter_tests PRIVATE listelo_ftp_testing)
target_compile_definitions(exporter_tests PRIVATE LISTELO_PYTHON="${LISTELO_MAIL_PYTHON}")
