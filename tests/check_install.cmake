# Installs the build into a scratch prefix and checks what a desktop and a software centre find
# there. Run with -DBUILD_DIR=... -DPREFIX=...
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
# --strict: warnings and hints fail too, not only errors, so that they are fixed as they come;
# --pedantic shows the rest in the log.
find_program(APPSTREAMCLI appstreamcli REQUIRED)
execute_process(COMMAND "${APPSTREAMCLI}" validate --no-net --strict --pedantic "${metainfo}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "appstreamcli rejects ${metainfo}:\n${output}")
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
