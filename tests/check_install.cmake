# Installs the build into a scratch prefix and checks what a desktop finds there.
# Run with -DBUILD_DIR=... -DPREFIX=...
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(program "${PREFIX}/bin/zentrile")
set(entry "${PREFIX}/share/applications/zentrile.desktop")
if(NOT EXISTS "${program}" OR IS_DIRECTORY "${program}")
    message(FATAL_ERROR "not installed: ${program}")
endif()
if(NOT EXISTS "${entry}")
    message(FATAL_ERROR "not installed: ${entry}")
endif()

find_program(VALIDATE desktop-file-validate REQUIRED)
execute_process(COMMAND "${VALIDATE}" "${entry}" RESULT_VARIABLE result
                OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT output STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate rejects ${entry}:\n${output}")
endif()

# The menu entry must start the program that was installed.
file(STRINGS "${entry}" exec REGEX "^Exec=")
get_filename_component(name "${program}" NAME)
if(NOT exec MATCHES "^Exec=${name}( |$)")
    message(FATAL_ERROR "the entry runs '${exec}', not ${name}")
endif()
