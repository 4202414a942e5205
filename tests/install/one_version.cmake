# Every place a user or a package tool reads the version says the project's:
# the program's --version, the newest Debian changelog entry, the package,
# the manual page and the AppStream metadata.
#
# Usage: cmake -DVERSION=<project version> -DPROGRAM=<quenlo> -DCHANGELOG=<file>
#              -DMAN_PAGE=<file> -DMETAINFO=<file> -DCPACK_CONFIG=<CPackConfig.cmake>
#              -P one_version.cmake
cmake_minimum_required(VERSION 3.25)

set(faults "")
function(expect_version what found)
  if(NOT found STREQUAL VERSION)
    set(faults "${faults}  ${what} says \"${found}\"\n" PARENT_SCOPE)
  endif()
endfunction()

execute_process(COMMAND ${PROGRAM} --version OUTPUT_VARIABLE printed
                OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
string(REGEX REPLACE "^quenlo " "" printed "${printed}")
expect_version("quenlo --version (exit ${status})" "${printed}")

file(STRINGS ${CHANGELOG} newest_entry LIMIT_COUNT 1)
string(REGEX REPLACE "^quenlo \\(([^)]+)-[^)-]+\\).*" "\\1" changelog_version "${newest_entry}")
expect_version("the newest entry of ${CHANGELOG}" "${changelog_version}")

file(STRINGS ${MAN_PAGE} title REGEX "^\\.TH ")
string(REGEX REPLACE ".*\"quenlo ([^\"]*)\".*" "\\1" man_version "${title}")
expect_version("the manual page's title line" "${man_version}")

file(READ ${METAINFO} metainfo)
string(REGEX MATCH "<release version=\"[^\"]*\"" newest_release "${metainfo}")
string(REGEX REPLACE ".*\"([^\"]*)\"" "\\1" release_version "${newest_release}")
expect_version("the AppStream metadata's newest release" "${release_version}")

include(${CPACK_CONFIG})
expect_version("the package (CPACK_PACKAGE_VERSION)" "${CPACK_PACKAGE_VERSION}")

if(faults)
  message(FATAL_ERROR "The version is ${VERSION}, but\n${faults}")
endif()
message(STATUS "one version: ${VERSION} everywhere")
