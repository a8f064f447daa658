# How the plug-in's binaries present themselves to hosts.
#
# Symbols: a host loads every plug-in into its own process, where an exported name can bind to
# another plug-in's symbol of the same name. So our code, the skin data and JUCE are compiled with
# hidden visibility, and on ELF platforms a version script keeps every symbol but the format's entry
# points local, including the standard-library template instances compiled into the binary (no C++
# object crosses the plug-in's C interface, so they need no process-wide identity).

set(TOLVMARK_CMAKE_DIR ${CMAKE_CURRENT_LIST_DIR})

function(tolvmark_hide_symbols)
    foreach(target IN LISTS ARGN)
        if(TARGET ${target})
            set_target_properties(${target} PROPERTIES
                C_VISIBILITY_PRESET hidden
                CXX_VISIBILITY_PRESET hidden
                VISIBILITY_INLINES_HIDDEN ON)
        endif()
    endforeach()
endfunction()

# Exports only the names listed in exports/<map>.map from the target's shared object.
function(tolvmark_export_only target map)
    if(UNIX AND NOT APPLE AND TARGET ${target})
        set(script ${TOLVMARK_CMAKE_DIR}/exports/${map}.map)
        target_link_options(${target} PRIVATE "LINKER:--version-script=${script}")
        set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
    endif()
endfunction()
