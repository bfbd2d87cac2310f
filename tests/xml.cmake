# The XML cursor, the source stock document and the equipment labels.
listelo_test(xml_tests xml_cursor_test.cpp stock_document_test.cpp equipment_test.cpp
  contact_test.cpp)
