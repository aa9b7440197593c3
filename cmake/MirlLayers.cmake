# mirl_layer(<dir> [NESTED <subdirs...>] DEPS <targets...>)
#
# Builds the library mirl_<dir with / replaced by _> from every .cpp below <dir>
# (not descending into nested layers: linux/ and fake/ always, and the NESTED
# subdirectories, such as core/session). A layer that has only headers so far
# becomes an INTERFACE library.
function(mirl_layer dir)
    cmake_parse_arguments(ARG "" "" "NESTED;DEPS" ${ARGN})
    string(REPLACE "/" "_" name "${dir}")
    set(target mirl_${name})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    foreach(nested linux fake ${ARG_NESTED})
        if(NOT dir MATCHES "/${nested}$")
            list(FILTER sources EXCLUDE REGEX "^${CMAKE_SOURCE_DIR}/${dir}/${nested}/")
        endif()
    endforeach()
    if(sources)
        add_library(${target} STATIC ${sources})
        target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
        target_link_libraries(${target} PUBLIC ${ARG_DEPS})
    else()
        add_library(${target} INTERFACE)
        target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR})
        target_link_libraries(${target} INTERFACE ${ARG_DEPS})
    endif()
endfunction()
