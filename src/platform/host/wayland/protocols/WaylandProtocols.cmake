# The Wayland protocols the host back-ends speak, as client code made by wayland-scanner:
# one header (`<name>-client-protocol.h`, included by that name) and the interface tables,
# compiled into the target as C++ after the header so that they keep C linkage. Included
# from the folder of the target (a generated file's rule lives there). The tables are marked
# hidden after the header declared them, which GCC notes and ignores.
find_package(PkgConfig REQUIRED)
pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
pkg_get_variable(QV_WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
if(NOT QV_WAYLAND_PROTOCOLS_DIR)
  message(FATAL_ERROR "wayland-protocols is not installed (Debian: wayland-protocols)")
endif()
find_program(QV_WAYLAND_SCANNER wayland-scanner REQUIRED)

# qv_wayland_protocols(<target> <xml>...): the protocols' client code in target.
function(qv_wayland_protocols target)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/wayland-protocols)
  foreach(xml IN LISTS ARGN)
    get_filename_component(base ${xml} NAME_WE)
    set(header ${out}/${base}-client-protocol.h)
    set(code ${out}/${base}-protocol.c)
    set(unit ${out}/${base}-protocol.cpp)
    add_custom_command(OUTPUT ${header} ${code}
                       COMMAND ${QV_WAYLAND_SCANNER} client-header ${xml} ${header}
                       COMMAND ${QV_WAYLAND_SCANNER} private-code ${xml} ${code}
                       DEPENDS ${xml} VERBATIM)
    file(CONFIGURE OUTPUT ${unit} CONTENT "#include \"${base}-client-protocol.h\"\n#include \"${base}-protocol.c\"\n")
    set_source_files_properties(${unit} PROPERTIES OBJECT_DEPENDS "${header};${code}" SKIP_UNITY_BUILD_INCLUSION ON
                                                   SKIP_PRECOMPILE_HEADERS ON COMPILE_OPTIONS -Wno-attributes)
    target_sources(${target} PRIVATE ${unit} ${header})
  endforeach()
  target_include_directories(${target} PUBLIC ${out})
  target_link_libraries(${target} PUBLIC PkgConfig::WAYLAND_CLIENT)
endfunction()

qv_wayland_protocols(qv_platform
  ${QV_WAYLAND_PROTOCOLS_DIR}/staging/ext-idle-notify/ext-idle-notify-v1.xml
  ${CMAKE_CURRENT_LIST_DIR}/org-kde-kwin-idle.xml
  ${CMAKE_CURRENT_LIST_DIR}/wlr-foreign-toplevel-management-unstable-v1.xml)
