# Mail notification: composed here, sent with libcurl's SMTP client.
# The FTP delivery looks libcurl up too; whichever comes first defines the target.
if(NOT TARGET PkgConfig::CURL)
  pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
endif()
target_sources(listelo_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/mail.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mail_message.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mail_smtp.cpp
)
target_link_libraries(listelo_core PUBLIC PkgConfig::CURL)
