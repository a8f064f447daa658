# Completes the LV2 bundle's description after JUCE's juce_lv2_helper has (re)written manifest.ttl,
# dsp.ttl and ui.ttl, which it does after every link of the LV2 target:
#   cmake -DBUNDLE=<bundle folder> -DEXTRA=<extra Turtle file> -DURI=<plug-in URI> -P Lv2Description.cmake
# - copies the extra Turtle file (category and license) into the bundle and links it from the
#   plug-in's entry in manifest.ttl;
# - removes the maintainer's empty e-mail IRI from dsp.ttl (JUCE writes "foaf:mbox <>" when the
#   company has no e-mail address, which hosts resolve to the path of dsp.ttl itself).
# Running it again over a completed bundle changes nothing. It stops with an error when the generated
# files do not read as expected, rather than leave the description silently incomplete.

cmake_minimum_required(VERSION 3.22)

foreach(var BUNDLE EXTRA URI)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "Lv2Description.cmake: -D${var}=... is missing")
    endif()
endforeach()

function(fail file what)
    message(FATAL_ERROR "${BUNDLE}/${file}: ${what}. JUCE's LV2 generator may have changed its output; "
        "update cmake/Lv2Description.cmake to match it.")
endfunction()

get_filename_component(extra_name "${EXTRA}" NAME)
configure_file("${EXTRA}" "${BUNDLE}/${extra_name}" COPYONLY)

# manifest.ttl: the plug-in's entry as JUCE writes it, then a statement of ours after it.
set(manifest "${BUNDLE}/manifest.ttl")
file(READ "${manifest}" text)
string(FIND "${text}" "\n<${URI}>\n\ta lv2:Plugin ;\n" entry)
if(entry EQUAL -1)
    fail(manifest.ttl "no entry \"<${URI}> a lv2:Plugin\"")
endif()
set(link "\n<${URI}>\n\trdfs:seeAlso <${extra_name}> .\n")
string(FIND "${text}" "${link}" linked)
if(linked EQUAL -1)
    file(APPEND "${manifest}" "${link}")
endif()

# dsp.ttl: the maintainer keeps its name and homepage; an e-mail, if any, must be a mailto: IRI.
set(dsp "${BUNDLE}/dsp.ttl")
file(READ "${dsp}" text)
string(FIND "${text}" "\tdoap:maintainer [\n\t\ta foaf:Person ;\n" maintainer)
if(maintainer EQUAL -1)
    fail(dsp.ttl "no maintainer entry \"doap:maintainer [ a foaf:Person ;\"")
endif()
string(REPLACE "\t\tfoaf:mbox <> ;\n" "" completed "${text}")
string(REGEX MATCH "foaf:mbox[ \t]*<[^>]*>" mbox "${completed}")
if(mbox AND NOT mbox MATCHES "<mailto:[^>]+>$")
    fail(dsp.ttl "the maintainer's e-mail \"${mbox}\" is not a mailto: IRI")
endif()
if(NOT completed STREQUAL text)
    file(WRITE "${dsp}" "${completed}")
endif()
