# The FTP clients, the delivery and the image server synchronisation, against a real
# FTP server (pyftpdlib) and a real SSH server (OpenSSH's sshd) started by the test
# programs on 127.0.0.1.

# The test servers and their helpers; the exporters' tests link them too.
add_library(listelo_ftp_testing STATIC support/ftp_server.cpp support/ssh_server.cpp)
target_link_libraries(listelo_ftp_testing PUBLIC listelo_testing)

listelo_test(ftp_tests delivery/ftp_client_test.cpp delivery/ftp_delivery_test.cpp
  delivery/sftp_delivery_test.cpp)
target_link_libraries(ftp_tests PRIVATE listelo_ftp_testing)

listelo_test(photos_tests photos/image_sync_test.cpp photos/sftp_image_sync_test.cpp
  photos/working_folder_test.cpp photos/working_folder_files_test.cpp)
target_link_libraries(photos_tests PRIVATE listelo_ftp_testing)
