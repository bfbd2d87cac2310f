# Photos checked per second against the local test FTP server.
add_executable(ftp_bench ${CMAKE_CURRENT_LIST_DIR}/ftp_bench.cpp)
target_link_libraries(ftp_bench PRIVATE listelo_ftp_testing)
