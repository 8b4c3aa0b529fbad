# Installs the build into a scratch prefix and checks what a desktop and a software centre find
# there. Run with -DBUILD_DIR=... -DPREFIX=...
cmake_policy(VERSION 3.24)
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(id org.zentrile.Zentrile)
set(program "${PREFIX}/bin/zentrile")
set(entry "${PREFIX}/share/applications/${id}.desktop")
set(metainfo "${PREFIX}/share/metainfo/${id}.metainfo.xml")
set(icon "${PREFIX}/share/icons/hicolor/scalable/apps/${id}.svg")
set(icon128 "${PREFIX}/share/icons/hicolor/128x128/apps/${id}.png")
set(manual "${PREFIX}/share/man/man1/zentrile.1")
foreach(path IN ITEMS "${program}" "${entry}" "${metainfo}" "${icon}" "${icon128}" "${manual}")
    if(NOT EXISTS "${path}" OR IS_DIRECTORY "${path}")
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate REQUIRED)
execute_process(COMMAND "${DESKTOP_FILE_VALIDATE}" "${entry}" RESULT_VARIABLE result
                OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT output STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate rejects ${entry}:\n${output}")
endif()
# Each Debian release checks the metainfo with its own AppStream, 0.16 in Debian 12 and 1.0 in
# Debian 13. Any error, warning or info fails, so that they are fixed as they come; pedantic
# hints only show in the log. Accepted, because no metainfo can truthfully avoid them:
# - url-homepage-missing: the project has no web site yet, and an address made up for it would
#   be worse than none;
# - before AppStream 1.0, an unknown <developer>: the form 1.0 asks for, which 0.16 does not
#   know yet; the older <developer_name> would draw 1.0's deprecation notice instead.
find_program(APPSTREAMCLI appstreamcli REQUIRED)
execute_process(COMMAND "${APPSTREAMCLI}" --version OUTPUT_VARIABLE version)
string(REGEX MATCH "[0-9]+(\\.[0-9]+)+" version "${version}")
set(accepted "W url-homepage-missing")
if(version VERSION_LESS 1.0)
    list(APPEND accepted "I unknown-tag developer")
endif()
execute_process(COMMAND "${APPSTREAMCLI}" validate --no-net --pedantic "${metainfo}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
string(REPLACE "\n" ";" lines "${output}")
set(rejected)
foreach(line IN LISTS lines)
    # "W: org.zentrile.Zentrile:~: url-homepage-missing" is "W url-homepage-missing".
    if(line MATCHES "^([EWI]): [^:]*:[^:]*: (.*)$")
        if(NOT "${CMAKE_MATCH_1} ${CMAKE_MATCH_2}" IN_LIST accepted)
            list(APPEND rejected "${line}")
        endif()
    endif()
endforeach()
# appstreamcli exits 3 when it finds a warning, the accepted one included.
if(rejected OR NOT result MATCHES "^[03]$")
    message(FATAL_ERROR "appstreamcli ${version} rejects ${metainfo}:\n${output}")
endif()

# The menu entry must start the program that was installed, with the icon that was installed.
file(STRINGS "${entry}" exec REGEX "^Exec=")
get_filename_component(name "${program}" NAME)
if(NOT exec MATCHES "^Exec=${name}( |$)")
    message(FATAL_ERROR "the entry runs '${exec}', not ${name}")
endif()
file(STRINGS "${entry}" entry_icon REGEX "^Icon=")
if(NOT entry_icon STREQUAL "Icon=${id}")
    message(FATAL_ERROR "the entry shows '${entry_icon}', not the installed icon ${id}")
endif()
