# Zip packaging: archives are read back with libzip and checked with `unzip -t`.
listelo_test(zip_tests zip_test.cpp zip_wildcard_test.cpp deflate_pieces_test.cpp)
