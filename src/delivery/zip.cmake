# Zip packaging (TZip) on libzip.
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
# zlib makes the deflate streams that libzip stores; a big file is deflated on several
# threads.
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)
find_package(Threads REQUIRED)
target_sources(listelo_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/deflate_ahead.cpp
  ${CMAKE_CURRENT_LIST_DIR}/deflate_pieces.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zip.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zip_archive.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zip_file_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zip_wildcard.cpp)
target_link_libraries(listelo_core PUBLIC PkgConfig::LIBZIP PkgConfig::ZLIB Threads::Threads)
