# Compile options for the code that ships inside the mail server's process
# (host/, daemon/ and the platform layer), in every configuration, so that
# the native, sanitizer, 32-bit and Windows builds all test that code.
#
# - No exceptions and no RTTI: the module throws nothing, and a destructor
#   compiled with exceptions on makes the linker bring in the C++ unwinder,
#   whose mutexes drag a threads library into the DLL (with a TLS callback,
#   a process-wide exception handler and calls Windows XP does not have).
# - No build folder in the binary: two builds of one commit give the same
#   bytes wherever they were made.
# - On Windows no unwind tables either: the DLL has no C runtime start-up
#   to register them with an unwinder, so they would be dead weight.
function(velmora_module_code target)
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
  if(WIN32)
    target_compile_options(${target} PRIVATE -fno-asynchronous-unwind-tables -fno-unwind-tables)
  endif()
  velmora_reproducible_paths(${target})
endfunction()

# Only the folder-free paths, for the other code we ship (the runner).
function(velmora_reproducible_paths target)
  target_compile_options(${target} PRIVATE "-ffile-prefix-map=${PROJECT_SOURCE_DIR}/="
                         "-ffile-prefix-map=${PROJECT_BINARY_DIR}/=")
endfunction()
