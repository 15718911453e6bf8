# One set of build rules for every target of the project: the repository root as the one include
# root, the same warnings (errors in CI), strict QString conversions, and moc only where Qt is used.

option(VEROLUX_WERROR "Treat compiler warnings as errors (CI)" OFF)

set(VEROLUX_WARNINGS
    -Wall -Wextra -Wpedantic
    -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-qual -Wformat=2
    -Wimplicit-fallthrough -Wmissing-declarations -Wundef)

# verolux_target_rules(<target> [QT])
function(verolux_target_rules target)
    cmake_parse_arguments(ARG "QT" "" "" ${ARGN})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
    else()
        target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    endif()
    target_compile_options(${target} PRIVATE ${VEROLUX_WARNINGS})
    # The release build (the package) is hardened as Debian builds its own: checked libc calls, a
    # stack guard, relocations read-only and bound at start.
    target_compile_options(${target} PRIVATE
        "$<$<CONFIG:Release>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2;-fstack-protector-strong>")
    if(type STREQUAL "EXECUTABLE" AND WIN32)
        # MinGW's checked calls and stack guard live in libssp; PE files have no RELRO, and take
        # ASLR and DEP from the linker's defaults.
        target_link_options(${target} PRIVATE $<$<CONFIG:Release>:-fstack-protector-strong>)
    elseif(type STREQUAL "EXECUTABLE")
        target_link_options(${target} PRIVATE $<$<CONFIG:Release>:LINKER:-z,relro,-z,now>)
    endif()
    if(VEROLUX_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    # GCC 12 at -O3 reports overlapping copies inside std::string's operator+ that cannot happen
    # (GCC bugs 105329 and 105651, mended in 13); nothing of ours is checked by it there.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(${target} PRIVATE $<$<CONFIG:Release>:-Wno-restrict>)
    endif()
    if(ARG_QT)
        set_target_properties(${target} PROPERTIES AUTOMOC ON)
        # Conversions between std::string (UTF-8) and QString happen at visible call sites only.
        target_compile_definitions(${target} PRIVATE
            QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING QT_NO_CAST_FROM_BYTEARRAY)
    else()
        set_target_properties(${target} PROPERTIES AUTOMOC OFF)
    endif()
endfunction()

# verolux_library(<name> [ALIAS <Name>] [QT] SOURCES <files...>): a static library of one layer.
function(verolux_library name)
    cmake_parse_arguments(ARG "QT" "ALIAS" "SOURCES" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    if(ARG_ALIAS)
        add_library(Verolux::${ARG_ALIAS} ALIAS ${name})
    endif()
    if(ARG_QT)
        verolux_target_rules(${name} QT)
    else()
        verolux_target_rules(${name})
    endif()
endfunction()

# verolux_executable(<name> [QT] SOURCES <files...>): programs, tests, tools and benchmarks alike.
function(verolux_executable name)
    cmake_parse_arguments(ARG "QT" "" "SOURCES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    if(ARG_QT)
        verolux_target_rules(${name} QT)
    else()
        verolux_target_rules(${name})
    endif()
endfunction()
