# Third-party libraries, each wrapped in one imported target the layers link to.
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
find_package(nlohmann_json 3.10 REQUIRED)
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets DBus)

add_library(mirl_qt INTERFACE)
target_link_libraries(mirl_qt INTERFACE Qt6::Core Qt6::Gui Qt6::Widgets Qt6::DBus)

pkg_check_modules(PULSE REQUIRED IMPORTED_TARGET libpulse)
add_library(mirl_pulse INTERFACE)
target_link_libraries(mirl_pulse INTERFACE PkgConfig::PULSE)

pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil libswresample)
add_library(mirl_ffmpeg INTERFACE)
target_link_libraries(mirl_ffmpeg INTERFACE PkgConfig::FFMPEG)

pkg_check_modules(X11LIBS REQUIRED IMPORTED_TARGET x11 xrandr xscrnsaver xext xfixes)
add_library(mirl_x11 INTERFACE)
target_link_libraries(mirl_x11 INTERFACE PkgConfig::X11LIBS)

pkg_check_modules(FFTW REQUIRED IMPORTED_TARGET fftw3f)
add_library(mirl_fftw INTERFACE)
target_link_libraries(mirl_fftw INTERFACE PkgConfig::FFTW)

# libddcutil: only its header at build time; the library is loaded at run time (DdcBacklight).
pkg_check_modules(DDCUTIL REQUIRED ddcutil)
add_library(mirl_ddcutil INTERFACE)
target_include_directories(mirl_ddcutil INTERFACE ${DDCUTIL_INCLUDE_DIRS})

pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0)
add_library(mirl_gio INTERFACE)
target_link_libraries(mirl_gio INTERFACE PkgConfig::GIO)

# Wayland: the client library, and client code generated at build time from the protocol
# descriptions of wayland-protocols (mirl_wayland_protocol).
pkg_check_modules(WAYLAND REQUIRED IMPORTED_TARGET wayland-client)
pkg_get_variable(MIRL_WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
if(NOT MIRL_WAYLAND_PROTOCOLS_DIR)
    message(FATAL_ERROR "wayland-protocols is not installed")
endif()
find_program(MIRL_WAYLAND_SCANNER wayland-scanner REQUIRED)
add_library(mirl_wayland INTERFACE)
target_link_libraries(mirl_wayland INTERFACE PkgConfig::WAYLAND)

# mirl_wayland_protocol(<target> <path below wayland-protocols' folder>): generates
# generated/wayland/<name>-client-protocol.h and its glue code and builds them into <target>.
function(mirl_wayland_protocol target xml)
    get_filename_component(name ${xml} NAME_WE)
    set(out ${CMAKE_BINARY_DIR}/generated/wayland)
    set(header ${out}/${name}-client-protocol.h)
    set(code ${out}/${name}-protocol.c)
    add_custom_command(
        OUTPUT ${header} ${code}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
        COMMAND ${MIRL_WAYLAND_SCANNER} client-header ${MIRL_WAYLAND_PROTOCOLS_DIR}/${xml} ${header}
        COMMAND ${MIRL_WAYLAND_SCANNER} private-code ${MIRL_WAYLAND_PROTOCOLS_DIR}/${xml} ${code}
        DEPENDS ${MIRL_WAYLAND_PROTOCOLS_DIR}/${xml}
        COMMENT "Generating the Wayland client code of ${name}")
    target_sources(${target} PRIVATE ${header} ${code})
    target_include_directories(${target} PUBLIC ${CMAKE_BINARY_DIR}/generated)
endfunction()
