# The plug-in format wrappers (JUCE's juce_audio_plugin_client module) are built from a copy of the
# installed module, patched with the checks JUCE 7.0.5 lacks where a host hands a wrapper a saved state:
# every cmake/patches/*.patch (in name order; each one's header says what it changes and why).
#
# The copy is made in the build folder, ${CMAKE_BINARY_DIR}/juce-patched/juce_audio_plugin_client, and
# made again only when the installed module or a patch has changed (so the wrappers are not rebuilt on
# every configure). A patch that does not apply stops the configure step with its output: a JUCE update
# that moves the patched code needs the patch brought up to date (or dropped, when JUCE has the fix).
#
# Only the files a patch changes are real copies; every other file of the copy is a symbolic link to the
# installed one. The patched files include their neighbours by relative paths, which resolve inside the
# copy, while other code reaches the same headers through the module's include path: as links they are
# the same files to the compiler, so each header's include guard still holds.
#
# The wrapper targets juce_add_plugin links (juce_audio_plugin_client_VST3, _LV2, ...) are interface
# libraries whose sources are the module's files; their sources are pointed at the copy.
#
# Sets TOLVMARK_PATCHED_PLUGIN_CLIENT_SOURCES, the copy's source files, and
# TOLVMARK_PATCHED_PLUGIN_CLIENT_STAMP, the file rewritten whenever the copy is made (for targets in other
# directories that compile these sources and need their source properties).

find_program(TOLVMARK_PATCH_PROGRAM patch)
if(NOT TOLVMARK_PATCH_PROGRAM)
    message(FATAL_ERROR "The 'patch' program is needed to patch JUCE's plug-in wrappers (scripts/install-deps.sh installs it)")
endif()

set(_tolvmark_client_source "${JUCE_MODULES_DIR}/juce_audio_plugin_client")
set(_tolvmark_client_root "${CMAKE_BINARY_DIR}/juce-patched")
set(_tolvmark_client_copy "${_tolvmark_client_root}/juce_audio_plugin_client")

file(GLOB _tolvmark_client_patches "${CMAKE_CURRENT_LIST_DIR}/patches/*.patch")
list(SORT _tolvmark_client_patches)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_tolvmark_client_patches})

# What the copy is made from: every file of the installed module and every patch.
file(GLOB_RECURSE _tolvmark_client_files LIST_DIRECTORIES FALSE RELATIVE "${_tolvmark_client_source}"
    "${_tolvmark_client_source}/*")
list(SORT _tolvmark_client_files)
set(_tolvmark_client_inputs "")
foreach(_file IN LISTS _tolvmark_client_files)
    file(SHA256 "${_tolvmark_client_source}/${_file}" _hash)
    string(APPEND _tolvmark_client_inputs "${_file} ${_hash}\n")
endforeach()
foreach(_patch IN LISTS _tolvmark_client_patches)
    file(SHA256 "${_patch}" _hash)
    get_filename_component(_name "${_patch}" NAME)
    string(APPEND _tolvmark_client_inputs "patch ${_name} ${_hash}\n")
endforeach()
string(SHA256 _tolvmark_client_stamp "${_tolvmark_client_inputs}")

set(_tolvmark_client_stamp_file "${_tolvmark_client_root}/stamp")
set(_tolvmark_client_old_stamp "")
if(EXISTS "${_tolvmark_client_stamp_file}")
    file(READ "${_tolvmark_client_stamp_file}" _tolvmark_client_old_stamp)
endif()

if(NOT _tolvmark_client_old_stamp STREQUAL _tolvmark_client_stamp OR NOT EXISTS "${_tolvmark_client_copy}")
    message(STATUS "Patching a copy of ${_tolvmark_client_source}")
    file(REMOVE_RECURSE "${_tolvmark_client_root}")

    foreach(_file IN LISTS _tolvmark_client_files)
        get_filename_component(_directory "${_tolvmark_client_copy}/${_file}" DIRECTORY)
        file(MAKE_DIRECTORY "${_directory}")
        file(CREATE_LINK "${_tolvmark_client_source}/${_file}" "${_tolvmark_client_copy}/${_file}" SYMBOLIC)
    endforeach()

    # The files the patches change ("+++ b/juce_audio_plugin_client/<file>") become real copies.
    foreach(_patch IN LISTS _tolvmark_client_patches)
        file(STRINGS "${_patch}" _targets REGEX "^\\+\\+\\+ b/juce_audio_plugin_client/")
        foreach(_target IN LISTS _targets)
            string(REGEX REPLACE "^\\+\\+\\+ b/juce_audio_plugin_client/([^\t\r]*).*$" "\\1" _file "${_target}")
            if(NOT EXISTS "${_tolvmark_client_source}/${_file}")
                message(FATAL_ERROR "${_patch} changes ${_file}, which ${_tolvmark_client_source} does not have")
            endif()
            file(REMOVE "${_tolvmark_client_copy}/${_file}")
            file(COPY_FILE "${_tolvmark_client_source}/${_file}" "${_tolvmark_client_copy}/${_file}")
        endforeach()
    endforeach()

    foreach(_patch IN LISTS _tolvmark_client_patches)
        execute_process(
            COMMAND "${TOLVMARK_PATCH_PROGRAM}" -p1 --batch --forward --fuzz=0 --no-backup-if-mismatch
                    --reject-file=- -d "${_tolvmark_client_root}" -i "${_patch}"
            RESULT_VARIABLE _result
            OUTPUT_VARIABLE _output
            ERROR_VARIABLE _output)
        if(NOT _result EQUAL 0)
            file(REMOVE_RECURSE "${_tolvmark_client_root}")
            message(FATAL_ERROR "${_patch} does not apply to ${_tolvmark_client_source}:\n${_output}")
        endif()
        get_filename_component(_name "${_patch}" NAME)
        message(STATUS "  applied ${_name}")
    endforeach()

    file(WRITE "${_tolvmark_client_stamp_file}" "${_tolvmark_client_stamp}")
endif()

# Point the wrapper targets at the copy.
set(TOLVMARK_PATCHED_PLUGIN_CLIENT_SOURCES "")
foreach(_kind IN ITEMS VST3 LV2 Standalone AU AUv3 AAX Unity VST)
    set(_target "juce_audio_plugin_client_${_kind}")
    if(NOT TARGET ${_target})
        continue()
    endif()
    get_target_property(_sources ${_target} INTERFACE_SOURCES)
    if(NOT _sources)
        continue()
    endif()
    set(_patched_sources "")
    foreach(_source IN LISTS _sources)
        string(FIND "${_source}" "${_tolvmark_client_source}/" _at)
        if(_at EQUAL 0)
            string(LENGTH "${_tolvmark_client_source}/" _prefix)
            string(SUBSTRING "${_source}" ${_prefix} -1 _relative)
            set(_source "${_tolvmark_client_copy}/${_relative}")
            list(APPEND TOLVMARK_PATCHED_PLUGIN_CLIENT_SOURCES "${_source}")
        endif()
        list(APPEND _patched_sources "${_source}")
    endforeach()
    set_target_properties(${_target} PROPERTIES INTERFACE_SOURCES "${_patched_sources}")
endforeach()
list(REMOVE_DUPLICATES TOLVMARK_PATCHED_PLUGIN_CLIENT_SOURCES)

# The wrappers' objects are rebuilt whenever the copy is made again: a file that a patch no longer
# changes turns back into a link to an older file, which its timestamp alone would not show.
set(TOLVMARK_PATCHED_PLUGIN_CLIENT_STAMP "${_tolvmark_client_stamp_file}")

# JUCE's code, not ours: built without our warnings, as the installed module's sources are.
set_source_files_properties(${TOLVMARK_PATCHED_PLUGIN_CLIENT_SOURCES} PROPERTIES COMPILE_OPTIONS "-w"
    OBJECT_DEPENDS "${TOLVMARK_PATCHED_PLUGIN_CLIENT_STAMP}")
