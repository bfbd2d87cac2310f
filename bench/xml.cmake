# The source stock document generator (reusable by the exporters' benchmarks) and the
# XML cursor benchmark.
add_library(listelo_stock_generator STATIC ${CMAKE_CURRENT_LIST_DIR}/stock_generator.cpp)
target_include_directories(listelo_stock_generator PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(listelo_stock_generator PUBLIC listelo_core)

add_executable(listelo_make_stock ${CMAKE_CURRENT_LIST_DIR}/make_stock.cpp)
target_link_libraries(listelo_make_stock PRIVATE listelo_stock_generator)

add_executable(listelo_xml_bench ${CMAKE_CURRENT_LIST_DIR}/xml_bench.cpp)
target_link_libraries(listelo_xml_bench PRIVATE listelo_stock_generator)
