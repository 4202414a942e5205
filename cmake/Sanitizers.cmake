# Builds for finding faults rather than for running:
#   -DQUENLO_SANITIZE=ON  everything built with AddressSanitizer and
#                         UndefinedBehaviorSanitizer (scripts/test.sh --sanitize)
#   -DQUENLO_FUZZ=ON      the fuzz targets of fuzz/, with clang's libFuzzer and
#                         both sanitizers (scripts/fuzz.sh)
option(QUENLO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(QUENLO_FUZZ "Build the libFuzzer targets (needs clang)" OFF)

if(QUENLO_SANITIZE OR QUENLO_FUZZ)
  # Undefined behaviour stops the program like any other fault, instead of
  # printing a line that a passing test would hide.
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(QUENLO_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "QUENLO_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  # Our code reports coverage to the fuzzer; the fuzz targets link its driver.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
