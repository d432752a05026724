# The read and statement services. The parts that need no connection (marker
# parsing, parameters, the in-memory result) form their own library so that
# they can be tested alone.
add_library(tarvell_services_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ParameterParser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecordStore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StatementParameters.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StatementText.cpp
)
target_include_directories(tarvell_services_core PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tarvell_services_core PUBLIC tarvell_runtime tarvell_driver_interface)

add_library(tarvell_services STATIC
  ${CMAKE_CURRENT_LIST_DIR}/BoundDataSet.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CursorReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PreparedQuery.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReadService.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ResultProvider.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PreparedCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ServerQuery.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StatementService.cpp
)
target_link_libraries(tarvell_services PUBLIC tarvell_services_core tarvell_connection)
