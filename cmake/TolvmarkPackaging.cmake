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

# LV2 description. JUCE's generator, which the build runs after every link of the LV2 target,
# rewrites the bundle's manifest.ttl, dsp.ttl and ui.ttl; it types the plug-in plain lv2:Plugin,
# states no license and gives the maintainer an empty e-mail IRI. A step after it adds
# tolvmark-extra.ttl (category and license) to the bundle, links it from the manifest and drops the
# empty e-mail (Lv2Description.cmake). The license is GPL-3.0-only: the plug-in is built on JUCE
# under its GPL-3 terms.
set(TOLVMARK_LV2_LICENSE "https://spdx.org/licenses/GPL-3.0-only")
set(TOLVMARK_LV2_EXTRA_TTL ${CMAKE_BINARY_DIR}/tolvmark-extra.ttl)
set(TOLVMARK_LV2_DESCRIPTION_STEP ${TOLVMARK_CMAKE_DIR}/Lv2Description.cmake)

function(tolvmark_complete_lv2_description target)
    if(NOT TARGET ${target})
        return()
    endif()
    set(extra ${TOLVMARK_LV2_EXTRA_TTL})
    configure_file(${PROJECT_SOURCE_DIR}/resources/lv2/tolvmark-extra.ttl.in ${extra} @ONLY)
    set(step ${TOLVMARK_LV2_DESCRIPTION_STEP})
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -DBUNDLE=$<TARGET_FILE_DIR:${target}> -DEXTRA=${extra}
            -DURI=${TOLVMARK_LV2_URI} -P ${step}
        VERBATIM)
    # A changed extra file or step relinks the target, which runs JUCE's generator and the step again.
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${extra} ${step})
endfunction()
