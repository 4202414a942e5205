# Every package the build looks for is one a new developer is told to
# install: each find_package, pkg-config module and find_program name in the
# CMake files maps, through the table below, to Debian and Fedora packages;
# the Debian ones must be in README's Requirements table and in
# scripts/setup.sh, the Fedora ones in the README.
#
# Usage: cmake -DSOURCE_DIR=<repository> -P package_list.cmake
cmake_minimum_required(VERSION 3.25)

# name (find_package, find_package's component as <package><component>,
# pkg-config module or program) | Debian packages | Fedora packages
set(package_table
  "Qt6|qt6-base-dev|qt6-qtbase-devel"
  "Qt6Core|qt6-base-dev|qt6-qtbase-devel"
  # Qt's Gui module wants the OpenGL headers.
  "Qt6Gui|qt6-base-dev libgl-dev|qt6-qtbase-devel mesa-libGL-devel"
  "Qt6Widgets|qt6-base-dev|qt6-qtbase-devel"
  "Qt6Sql|qt6-base-dev|qt6-qtbase-devel"
  "Qt6Test|qt6-base-dev|qt6-qtbase-devel"
  "Qt6Multimedia|qt6-multimedia-dev|qt6-qtmultimedia-devel"
  "GTest|libgtest-dev libgmock-dev|gtest-devel gmock-devel"
  "benchmark|libbenchmark-dev|google-benchmark-devel"
  "PkgConfig|pkg-config|pkgconf"
  "uchardet|libuchardet-dev|uchardet-devel"
  "xcb|libxcb1-dev|libxcb-devel"
  "xcb-shape|libxcb-shape0-dev|libxcb-devel"
  "xcb-xtest|libxcb-xtest0-dev|libxcb-devel"
  "wayland-client|libwayland-dev|wayland-devel"
  "wayland-scanner|libwayland-dev|wayland-devel"
  "libpulse-simple|libpulse-dev|pulseaudio-libs-devel"
)

set(faults "")
macro(fault text)
  string(APPEND faults "  ${text}\n")
endmacro()

# The names the CMake files look for, each as "<name> (<file>)".
function(names_looked_for out)
  file(GLOB_RECURSE cmake_files LIST_DIRECTORIES false
       ${SOURCE_DIR}/CMakeLists.txt ${SOURCE_DIR}/*.cmake)
  list(FILTER cmake_files EXCLUDE REGEX "^${SOURCE_DIR}/(build[^/]*|\\.git)/")
  set(names "")
  foreach(file IN LISTS cmake_files)
    file(READ ${file} text)
    string(REGEX REPLACE "#[^\n]*" "" text "${text}")
    file(RELATIVE_PATH where ${SOURCE_DIR} ${file})
    string(REGEX MATCHALL "(find_package|pkg_check_modules|pkg_search_module|find_program)\\([^)]*\\)"
           calls "${text}")
    foreach(call IN LISTS calls)
      string(REGEX MATCH "^[a-z_]+" command "${call}")
      string(REGEX REPLACE "^[a-z_]+\\(|\\)$" "" arguments "${call}")
      string(REGEX REPLACE "[ \t\r\n]+" ";" arguments "${arguments}")
      list(FILTER arguments EXCLUDE REGEX "^$")
      list(POP_FRONT arguments first)
      if(command STREQUAL "find_package")
        list(APPEND names "${first} (${where})")
        set(in_components FALSE)
        foreach(argument IN LISTS arguments)
          if(argument MATCHES "^(OPTIONAL_)?COMPONENTS$")
            set(in_components TRUE)
          elseif(argument MATCHES "^[A-Z_]+$")
            set(in_components FALSE)
          elseif(in_components)
            list(APPEND names "${first}${argument} (${where})")
          endif()
        endforeach()
      elseif(command STREQUAL "find_program")
        # find_program(<variable> <name>) or find_program(<variable> NAMES <names...>)
        list(REMOVE_ITEM arguments NAMES)
        list(GET arguments 0 program)
        list(APPEND names "${program} (${where})")
      else()
        # pkg_check_modules(<prefix> [options...] <modules...>)
        foreach(argument IN LISTS arguments)
          if(NOT argument MATCHES "^(REQUIRED|QUIET|NO_CMAKE_PATH|NO_CMAKE_ENVIRONMENT_PATH|IMPORTED_TARGET|GLOBAL)$")
            string(REGEX REPLACE "[<>=].*" "" module "${argument}")
            list(APPEND names "${module} (${where})")
          endif()
        endforeach()
      endif()
    endforeach()
  endforeach()
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

# The backticked package names of one column of README's Requirements table
# (1: Debian, 2: Fedora).
function(readme_packages column out)
  file(READ ${SOURCE_DIR}/README.md readme)
  string(FIND "${readme}" "\n## Requirements\n" start)
  if(start LESS 0)
    return()
  endif()
  string(SUBSTRING "${readme}" ${start} -1 section)
  string(SUBSTRING "${section}" 1 -1 section)
  string(FIND "${section}" "\n## " end)
  string(SUBSTRING "${section}" 0 ${end} section)
  string(REGEX MATCHALL "\n\\|[^\n]*" rows "${section}")
  set(packages "")
  foreach(row IN LISTS rows)
    string(REPLACE "`" "\"" row "${row}") # backticks would end a bracket-free list
    string(REGEX REPLACE "^\n\\|" "" row "${row}")
    string(REPLACE "|" ";" cells "${row}")
    list(LENGTH cells cell_count)
    if(cell_count GREATER column)
      list(GET cells ${column} cell)
      string(REGEX MATCHALL "\"[^\"]+\"" quoted "${cell}")
      foreach(words IN LISTS quoted)
        string(REPLACE "\"" "" words "${words}")
        string(REGEX REPLACE "[ \t]+" ";" words "${words}")
        list(APPEND packages ${words})
      endforeach()
    endif()
  endforeach()
  set(${out} "${packages}" PARENT_SCOPE)
endfunction()

function(setup_packages out)
  file(READ ${SOURCE_DIR}/scripts/setup.sh script)
  string(REGEX MATCH "\npackages=\\(([^)]*)\\)" list "${script}")
  string(REGEX REPLACE "#[^\n]*" "" list "${CMAKE_MATCH_1}")
  string(REGEX REPLACE "[ \t\r\n]+" ";" list "${list}")
  list(FILTER list EXCLUDE REGEX "^$")
  set(${out} "${list}" PARENT_SCOPE)
endfunction()

names_looked_for(names)
readme_packages(1 readme_debian)
readme_packages(2 readme_fedora)
setup_packages(setup)
if(NOT names OR NOT readme_debian OR NOT readme_fedora OR NOT setup)
  message(FATAL_ERROR "could not read the CMake files, README's Requirements table or scripts/setup.sh")
endif()

foreach(entry IN LISTS names)
  string(REGEX REPLACE " \\(.*" "" name "${entry}")
  set(row "")
  foreach(candidate IN LISTS package_table)
    if(candidate MATCHES "^([^|]+)\\|" AND CMAKE_MATCH_1 STREQUAL name)
      set(row "${candidate}")
    endif()
  endforeach()
  if(NOT row)
    fault("${entry}: not in the table of tests/install/package_list.cmake; add it with its packages")
    continue()
  endif()
  string(REPLACE "|" ";" row "${row}")
  list(GET row 1 debian)
  list(GET row 2 fedora)
  string(REPLACE " " ";" debian "${debian}")
  string(REPLACE " " ";" fedora "${fedora}")
  foreach(package IN LISTS debian)
    if(NOT package IN_LIST readme_debian)
      fault("${entry}: Debian package ${package} is not in README's Requirements")
    endif()
    if(NOT package IN_LIST setup)
      fault("${entry}: Debian package ${package} is not in scripts/setup.sh")
    endif()
  endforeach()
  foreach(package IN LISTS fedora)
    if(NOT package IN_LIST readme_fedora)
      fault("${entry}: Fedora package ${package} is not in README's Requirements")
    endif()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "Packages the build needs but the instructions do not name:\n${faults}")
endif()
list(LENGTH names name_count)
message(STATUS "package list: all ${name_count} names the build looks for are listed")
