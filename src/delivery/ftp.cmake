# FTP delivery and the window's two FTP clients, on libcurl.
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
target_sources(listelo_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ftp_client.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ftp_delivery.cpp
)
target_link_libraries(listelo_core PUBLIC PkgConfig::CURL)
