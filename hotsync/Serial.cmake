# The serial and USB transports of HotSync: the serial link's packets, messages and connection management, the
# serial port, and the USB handheld's bulk endpoints. Included from hotsync/CMakeLists.txt.
add_library(tunelore_hotsync_serial STATIC
    ${CMAKE_CURRENT_LIST_DIR}/Slp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Padp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Serial.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SerialPort.cpp
)
target_include_directories(tunelore_hotsync_serial PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tunelore_hotsync_serial PUBLIC tunelore_pdb tunelore_platform PRIVATE tunelore_warnings)
