# Whole exporter runs on the generated stock against a local FTP gateway.
add_executable(exporters_bench ${CMAKE_CURRENT_LIST_DIR}/exporters_bench.cpp)
target_link_libraries(exporters_bench PRIVATE listelo_stock_generator listelo_ftp_testing)
