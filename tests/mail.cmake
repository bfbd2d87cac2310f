# Mail notification, against real SMTP servers (aiosmtpd) on 127.0.0.1.
# The Python that has aiosmtpd: the system's, even when another python3 comes first.
if(NOT LISTELO_MAIL_PYTHON)
  find_program(path_python3 python3)
  foreach(candidate /usr/bin/python3 ${path_python3})
    execute_process(COMMAND ${candidate} -c "import aiosmtpd"
                    RESULT_VARIABLE no_aiosmtpd OUTPUT_QUIET ERROR_QUIET)
    if(no_aiosmtpd EQUAL 0)
      set(LISTELO_MAIL_PYTHON ${candidate} CACHE FILEPATH "Python with aiosmtpd, for the mail tests")
      break()
    endif()
  endforeach()
endif()
if(NOT LISTELO_MAIL_PYTHON)
  message(FATAL_ERROR "The mail tests need Python with aiosmtpd (Debian: python3-aiosmtpd)")
endif()

listelo_test(mail_tests mail_message_test.cpp mail_test.cpp support/smtp_server.cpp)
target_compile_definitions(mail_tests PRIVATE LISTELO_PYTHON="${LISTELO_MAIL_PYTHON}")

# "listelo --check" asks the FTP and SMTP servers without sending anything.
listelo_test(check_tests check_test.cpp support/smtp_server.cpp)
target_compile_definitions(check_tests PRIVATE LISTELO_PYTHON="${LISTELO_MAIL_PYTHON}")
target_link_libraries(check_tests PRIVATE listelo_ftp_testing)
