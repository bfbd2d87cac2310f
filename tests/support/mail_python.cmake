# The Python that runs the SMTP test servers (support/smtp_server.py).
include_guard(GLOBAL)
# It needs aiosmtpd: the system's Python, even when another python3 comes first.
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

