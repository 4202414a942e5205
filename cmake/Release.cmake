# One version number: project(VERSION) gives it to the program (--version),
# the package, the manual page and the AppStream metadata. The Debian
# changelog is the history of releases: its entries give the package's
# revision, the release date the manual page shows and the AppStream release
# list. A new version therefore needs project(VERSION) and a changelog entry;
# `ctest -R install.one_version` fails when they disagree.
#
# Sets QUENLO_DEBIAN_REVISION (1), QUENLO_RELEASE_MONTH ("December 2026"),
# QUENLO_RELEASE_EPOCH (that day's midnight, UTC, in seconds since 1970),
# QUENLO_APPSTREAM_RELEASES (one <release/> line per changelog entry, newest
# first) and QUENLO_CHANGELOG_VERSION (the newest entry's version).

# The days from 1 January 1970 to a date (H. Hinnant's days_from_civil).
function(quenlo_days_since_1970 year month day out)
  if(month LESS_EQUAL 2)
    math(EXPR year "${year} - 1")
    math(EXPR month "${month} + 9")
  else()
    math(EXPR month "${month} - 3")
  endif()
  math(EXPR era "${year} / 400")
  math(EXPR year_of_era "${year} - ${era} * 400")
  math(EXPR day_of_year "(153 * ${month} + 2) / 5 + ${day} - 1")
  math(EXPR day_of_era
       "${year_of_era} * 365 + ${year_of_era} / 4 - ${year_of_era} / 100 + ${day_of_year}")
  math(EXPR days "${era} * 146097 + ${day_of_era} - 719468")
  set(${out} ${days} PARENT_SCOPE)
endfunction()

set(changelog ${PROJECT_SOURCE_DIR}/packaging/debian/changelog)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
file(STRINGS ${changelog} changelog_lines ENCODING UTF-8)

set(month_abbreviations Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
set(month_names January February March April May June July August September October
                November December)
set(QUENLO_APPSTREAM_RELEASES "")
unset(QUENLO_CHANGELOG_VERSION)
foreach(line IN LISTS changelog_lines)
  # "quenlo (0.1.0-1) unstable; urgency=low" (the list splits it at ';')
  if(line MATCHES "^quenlo \\(([^)]+)-([^)-]+)\\)")
    set(entry_version ${CMAKE_MATCH_1})
    if(NOT DEFINED QUENLO_CHANGELOG_VERSION)
      set(QUENLO_CHANGELOG_VERSION ${CMAKE_MATCH_1})
      set(QUENLO_DEBIAN_REVISION ${CMAKE_MATCH_2})
    endif()
  # " -- Name <address>  Wed, 09 Dec 2026 05:00:00 +0000"
  elseif(line MATCHES "^ -- .*  [A-Z][a-z][a-z], ([0-9]+) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    set(day ${CMAKE_MATCH_1})
    set(year ${CMAKE_MATCH_3})
    list(FIND month_abbreviations ${CMAKE_MATCH_2} month_index)
    if(month_index LESS 0 OR NOT DEFINED entry_version)
      message(FATAL_ERROR "${changelog}: can't read the entry signed \"${line}\"")
    endif()
    string(REGEX REPLACE "^0" "" day "${day}")
    math(EXPR month "${month_index} + 1")
    if(NOT DEFINED QUENLO_RELEASE_MONTH)
      list(GET month_names ${month_index} month_name)
      set(QUENLO_RELEASE_MONTH "${month_name} ${year}")
      quenlo_days_since_1970(${year} ${month} ${day} release_day)
      math(EXPR QUENLO_RELEASE_EPOCH "${release_day} * 86400")
    endif()
    if(month LESS 10)
      set(month 0${month})
    endif()
    if(day LESS 10)
      set(day 0${day})
    endif()
    string(APPEND QUENLO_APPSTREAM_RELEASES
           "    <release version=\"${entry_version}\" date=\"${year}-${month}-${day}\"/>\n")
    unset(entry_version)
  endif()
endforeach()
if(NOT DEFINED QUENLO_CHANGELOG_VERSION OR NOT DEFINED QUENLO_RELEASE_MONTH)
  message(FATAL_ERROR "${changelog} has no entry that can be read")
endif()
if(NOT QUENLO_CHANGELOG_VERSION VERSION_EQUAL PROJECT_VERSION)
  message(WARNING "The newest entry of ${changelog} is ${QUENLO_CHANGELOG_VERSION}, the project's "
                  "version ${PROJECT_VERSION}: add an entry for ${PROJECT_VERSION}.")
endif()

# The files installed with the version in them.
configure_file(${PROJECT_SOURCE_DIR}/packaging/quenlo.1.in
               ${PROJECT_BINARY_DIR}/packaging/quenlo.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/io.github.quenlo.Quenlo.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/packaging/io.github.quenlo.Quenlo.metainfo.xml @ONLY)
