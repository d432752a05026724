# The services' pure parts alone; the services themselves against real
# embedded Firebird databases once the connection, the driver library and the
# test support are there.
tarvell_add_test(services_core_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ParameterParserTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RecordStoreTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StatementParametersTest.cpp
  LIBS tarvell_services_core)
