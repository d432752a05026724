# Configuration files, parameter list and the connect sequence, the latter
# against the recording driver library.
tarvell_add_test(connection_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ConnectionTestSupport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ConfigFileTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ParameterListTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ConfigFileLocatorTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DriverErrorMessageTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ConnectionSettingsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ConnectionSequenceTest.cpp
  LIBS tarvell_connection tarvell_test_datalink recording_driver Qt6::Gui)
