# Sanitizer and fuzzing builds, each in a build folder of its own:
#   -DVELMARO_SANITIZE=address  AddressSanitizer with UndefinedBehaviorSanitizer
#   -DVELMARO_SANITIZE=thread   ThreadSanitizer
#   -DVELMARO_FUZZ=ON           the libFuzzer harnesses of tests/fuzz (clang only),
#                               everything built with ASan and UBSan
# Any report ends the program with an error (no recovery), so a test or a
# fuzzing run that meets one fails. The standard library's own checks are on
# too.
set(VELMARO_SANITIZE "" CACHE STRING "Sanitizer build: address (with undefined) or thread")
option(VELMARO_FUZZ "Build the libFuzzer harnesses (needs clang)" OFF)

if(VELMARO_FUZZ AND VELMARO_SANITIZE)
  message(FATAL_ERROR "VELMARO_FUZZ brings its own sanitizers; leave VELMARO_SANITIZE empty")
endif()

set(VELMARO_SANITIZER_FLAGS "")
if(VELMARO_SANITIZE STREQUAL "address")
  set(VELMARO_SANITIZER_FLAGS -fsanitize=address,undefined)
elseif(VELMARO_SANITIZE STREQUAL "thread")
  set(VELMARO_SANITIZER_FLAGS -fsanitize=thread)
elseif(VELMARO_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VELMARO_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  set(VELMARO_SANITIZER_FLAGS -fsanitize=address,undefined)
  # Coverage instrumentation for every object; only the harnesses link the
  # fuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link)
elseif(VELMARO_SANITIZE)
  message(FATAL_ERROR "VELMARO_SANITIZE must be address or thread, not ${VELMARO_SANITIZE}")
endif()

if(VELMARO_SANITIZER_FLAGS)
  add_compile_options(${VELMARO_SANITIZER_FLAGS} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -D_GLIBCXX_ASSERTIONS)
  add_link_options(${VELMARO_SANITIZER_FLAGS} -fno-sanitize-recover=all)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC's flow analysis of instrumented code flags the standard library's
    # own std::function members (inside std::regex) as maybe uninitialised.
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
endif()
