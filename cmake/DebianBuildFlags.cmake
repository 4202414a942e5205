# The build flags Debian gives its packages (dpkg-buildflags with
# hardening=+all and reproducible=+fixfilepath), for every build but the
# sanitizer and fuzz builds, whose run-time replaces the C library's checks.
option(QUENLO_HARDENING "Build with Debian's hardening flags" ON)
if(NOT QUENLO_HARDENING OR QUENLO_SANITIZE OR QUENLO_FUZZ)
  return()
endif()
# For ELF programs. On Windows the MinGW linker marks the program for the
# system's own protections (ASLR, DEP) by default.
if(WIN32)
  return()
endif()

# Hardening: a position-independent executable, stack protector, fortified
# C library calls, format-string checks, and relocations made read-only and
# resolved at start (bind-now).
include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
# Fortification needs the optimiser; a compiler that fortifies by itself
# would warn of the definition twice.
add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
add_link_options(LINKER:-z,relro LINKER:-z,now)

# Reproducible: a release build (the one README packages) records no path of
# the folders it was built in, so two checkouts of one commit build the
# same program. Other builds keep full paths for the debugger.
add_compile_options("$<$<CONFIG:Release>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.;-ffile-prefix-map=${PROJECT_BINARY_DIR}=.>")
