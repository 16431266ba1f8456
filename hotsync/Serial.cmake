# The serial and USB transports of HotSync: the serial link's packets, messages and connection management, the
# serial port, and the USB handheld's setup and bulk endpoints. Included from hotsync/CMakeLists.txt.
add_library(tunelore_hotsync_serial STATIC
    ${CMAKE_CURRENT_LIST_DIR}/Slp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Padp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Serial.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SerialPort.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UsbSetup.cpp
)
target_include_directories(tunelore_hotsync_serial PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tunelore_hotsync_serial PUBLIC tunelore_pdb tunelore_platform PRIVATE tunelore_warnings)

# USB through libusb-1.0: on by default on Linux when pkg-config finds it; elsewhere the USB calls say why not.
set(tunelore_usb_default OFF)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    find_package(PkgConfig QUIET)
    if(PkgConfig_FOUND)
        pkg_check_modules(LIBUSB QUIET IMPORTED_TARGET GLOBAL libusb-1.0)
        if(LIBUSB_FOUND)
            set(tunelore_usb_default ON)
        endif()
    endif()
endif()
option(TUNELORE_USB "HotSync over USB through libusb-1.0" ${tunelore_usb_default})
if(TUNELORE_USB)
    if(NOT TARGET PkgConfig::LIBUSB)
        find_package(PkgConfig REQUIRED)
        pkg_check_modules(LIBUSB REQUIRED IMPORTED_TARGET GLOBAL libusb-1.0)
    endif()
    target_sources(tunelore_hotsync_serial PRIVATE ${CMAKE_CURRENT_LIST_DIR}/UsbLibusb.cpp)
    target_link_libraries(tunelore_hotsync_serial PRIVATE PkgConfig::LIBUSB)
else()
    target_sources(tunelore_hotsync_serial PRIVATE ${CMAKE_CURRENT_LIST_DIR}/UsbNone.cpp)
endif()
