# AddressSanitizer and UBSan over everything we build, GoogleTest included,
# so that a read past a host buffer or a leak fails the tests.
if(VELMORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# ThreadSanitizer over everything, for the tests that call DAEMON from
# several threads at once, as a real mail server does.
if(VELMORA_SANITIZE_THREAD)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Fuzz builds instrument all our code for coverage as well.
if(VELMORA_BUILD_FUZZERS)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Source-based coverage of the fuzz targets, to see how much of the module
# the corpus reaches (scripts/fuzz-coverage.sh).
if(VELMORA_FUZZ_COVERAGE)
  add_compile_options(-fprofile-instr-generate -fcoverage-mapping)
  add_link_options(-fprofile-instr-generate)
endif()
