# Mail notification, against real SMTP servers (aiosmtpd) on 127.0.0.1.
include(${CMAKE_CURRENT_LIST_DIR}/support/mail_python.cmake)

listelo_test(mail_tests mail_message_test.cpp mail_test.cpp support/smtp_server.cpp)
target_compile_definitions(mail_tests PRIVATE LISTELO_PYTHON="${LISTELO_MAIL_PYTHON}")

# "listelo --check" asks the FTP, SSH and SMTP servers without sending anything.
listelo_test(check_tests check_test.cpp support/smtp_server.cpp)
target_compile_definitions(check_tests PRIVATE LISTELO_PYTHON="${LISTELO_MAIL_PYTHON}")
target_link_libraries(check_tests PRIVATE listelo_ftp_testing)
