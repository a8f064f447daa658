# JUCE's plug-in client wrappers, built from a patched copy.
#
# Each file in cmake/juce-patches/ is a unified diff against JUCE's juce_audio_plugin_client module
# (paths start with juce_audio_plugin_client/, applied with patch -p1); its header says what it mends
# and why. At configure time the module is copied into the build tree with plain LF line endings (JUCE
# ships some of its files with CRLF), every patch is applied in file-name order, and the plug-in's
# format wrappers then compile the copy instead of JUCE's module: its sources, and its headers ahead
# of JUCE's. Files of the copy are rewritten only when their content changes, so a new configure run
# does not rebuild the wrappers.

function(tolvmark_use_patched_plugin_client plugin_target)
    set(module_name juce_audio_plugin_client)
    set(original "${JUCE_MODULES_DIR}/${module_name}")
    set(staging "${CMAKE_BINARY_DIR}/juce-patched/staging")
    set(patched "${CMAKE_BINARY_DIR}/juce-patched/modules")

    file(GLOB patches CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/cmake/juce-patches/*.patch")
    list(SORT patches)
    set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${patches})

    find_program(TOLVMARK_PATCH_PROGRAM patch REQUIRED)

    file(REMOVE_RECURSE "${staging}")
    file(GLOB_RECURSE module_files LIST_DIRECTORIES FALSE RELATIVE "${original}" "${original}/*")

    foreach(file IN LISTS module_files)
        file(READ "${original}/${file}" content)
        string(REPLACE "\r\n" "\n" content "${content}")
        file(WRITE "${staging}/${module_name}/${file}" "${content}")
    endforeach()

    foreach(patch_file IN LISTS patches)
        execute_process(
            COMMAND "${TOLVMARK_PATCH_PROGRAM}" -p1 --forward --batch --silent -d "${staging}" -i "${patch_file}"
            RESULT_VARIABLE result
            OUTPUT_VARIABLE output
            ERROR_VARIABLE output)
        if(NOT result EQUAL 0)
            message(FATAL_ERROR "JUCE patch ${patch_file} does not apply:\n${output}")
        endif()
    endforeach()

    foreach(file IN LISTS module_files)
        configure_file("${staging}/${module_name}/${file}" "${patched}/${module_name}/${file}" COPYONLY)
    endforeach()

    # The wrapper targets JUCE defines list the module's format sources: point them at the copy, and let
    # the format targets find the copy's headers first (the wrappers include them both by relative and
    # by module path). The copies are JUCE's code, built without our warnings as the originals are.
    foreach(format IN ITEMS VST3 LV2 Standalone)
        set(wrapper_target ${module_name}_${format})
        if(NOT TARGET ${wrapper_target} OR NOT TARGET ${plugin_target}_${format})
            continue()
        endif()

        target_include_directories(${plugin_target}_${format} BEFORE PRIVATE "${patched}")

        get_target_property(original_sources ${wrapper_target} INTERFACE_SOURCES)
        set(sources)
        foreach(source IN LISTS original_sources)
            string(REPLACE "${original}/" "${patched}/${module_name}/" source "${source}")
            list(APPEND sources "${source}")
        endforeach()
        set_property(TARGET ${wrapper_target} PROPERTY INTERFACE_SOURCES ${sources})
        set_source_files_properties(${sources} PROPERTIES COMPILE_OPTIONS "-w")
    endforeach()
endfunction()
