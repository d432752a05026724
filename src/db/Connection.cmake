# The connection and its configuration files.
add_library(tarvell_connection STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ParameterList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConfigFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConfigFileLocator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DriverErrorMessage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConnectionOptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BusyCursor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TDataLinkConnection.cpp
)
target_include_directories(tarvell_connection PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tarvell_connection
  PUBLIC tarvell_runtime tarvell_driver_interface Qt6::Core
  PRIVATE Qt6::Gui ${CMAKE_DL_LIBS})
