# Packs a folder with TZip and prints the time taken (see run.d/zip.sh).
add_executable(zip_bench ${CMAKE_CURRENT_LIST_DIR}/zip_bench.cpp)
target_link_libraries(zip_bench PRIVATE listelo_core)
