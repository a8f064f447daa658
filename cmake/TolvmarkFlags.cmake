# Compiler settings shared by every target of the project.
#
# The engine must reproduce its arithmetic exactly: no floating-point contraction (no FMA), no
# fast-math, and the default x86-64 target.
add_library(tolvmark_build_flags INTERFACE)
target_compile_options(tolvmark_build_flags INTERFACE
    -ffp-contract=off
    -fno-fast-math
    -Wall -Wextra
    $<$<COMPILE_LANGUAGE:CXX>:-Wno-deprecated-copy>)

if(TOLVMARK_SANITIZE)
    target_compile_options(tolvmark_build_flags INTERFACE -fsanitize=${TOLVMARK_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(tolvmark_build_flags INTERFACE -fsanitize=${TOLVMARK_SANITIZE})
endif()

# JUCE's own sources and SDKs are third-party code: build them without our extra warnings.
function(tolvmark_silence_third_party target)
    target_compile_options(${target} PRIVATE -w)
endfunction()

# The JUCE module sources compiled into our targets (and the plug-in client wrappers) are JUCE's, not
# ours: they build without warnings so that the build log shows only our own code's.
file(GLOB_RECURSE TOLVMARK_JUCE_MODULE_SOURCES ${JUCE_MODULES_DIR}/*.cpp ${JUCE_MODULES_DIR}/*.mm)
set_source_files_properties(${TOLVMARK_JUCE_MODULE_SOURCES} PROPERTIES COMPILE_OPTIONS "-w")

# Links a test, benchmark or fuzzer with the plug-in's shared code (target Tolvmark) and gives it the
# same JUCE module configuration and include folders, since it sees JUCE through that library.
function(tolvmark_use_shared_code target)
    target_link_libraries(${target} PRIVATE Tolvmark)
    target_compile_definitions(${target} PRIVATE
        $<TARGET_PROPERTY:Tolvmark,INTERFACE_COMPILE_DEFINITIONS>
        $<TARGET_PROPERTY:Tolvmark,COMPILE_DEFINITIONS>)
    target_include_directories(${target} PRIVATE $<TARGET_PROPERTY:Tolvmark,INCLUDE_DIRECTORIES>)
endfunction()
