# Zip packaging (TZip) on libzip.
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
target_sources(listelo_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/zip.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zip_archive.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zip_file_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zip_wildcard.cpp)
target_link_libraries(listelo_core PUBLIC PkgConfig::LIBZIP)
