# The services' parts that need no database, then the services against real
# embedded Firebird databases through the driver library.
tarvell_add_test(services_unit_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ParameterParserTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RecordStoreTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StatementServiceLinesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StatementParametersTest.cpp
  LIBS tarvell_services tarvell_batch)

tarvell_add_test(services_driver_calls_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ServicesDriverCallsTest.cpp
  LIBS tarvell_services recording_driver)

tarvell_add_test(services_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ReadServiceTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StatementServiceTest.cpp
  LIBS tarvell_services tarvell_batch tarvell_test_firebird)
# The connection loads the driver library by file name from beside the program.
add_dependencies(services_tests dlfirebird)

# The connection with the real driver library and real databases, set up
# through the configuration files as the window is.
tarvell_add_test(firebird_connection_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FirebirdConnectionTest.cpp
  LIBS tarvell_services tarvell_test_firebird tarvell_test_datalink)
add_dependencies(firebird_connection_tests dlfirebird)
