# Sanitizer builds, each in a build folder of its own:
#   -DVMK_SANITIZE=ON      AddressSanitizer + UndefinedBehaviorSanitizer (make test-sanitized)
#   -DVMK_SANITIZE=thread  ThreadSanitizer, for the suites that run work on many threads (recognition,
#                          Make Searchable, search, page capture, thumbnails, compression, saving):
#                          make test-thread-sanitized
# Run them whenever threads or parsing change. Leak reports are off and third-party races are suppressed
# (see platform/services/SanitizerOptions.cpp and tests/sanitizers/); undefined behaviour stops the
# process, so that a test fails instead of printing a line nobody reads.
set(VMK_SANITIZE OFF CACHE STRING "Sanitizer build: OFF, ON (address and undefined behaviour) or thread")
if(VMK_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
  add_compile_definitions(VMK_SANITIZE=1 VMK_SANITIZE_THREAD=1
    VMK_SANITIZER_SUPPRESSIONS="${PROJECT_SOURCE_DIR}/tests/sanitizers")
elseif(VMK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(VMK_SANITIZE=1)
endif()

# The runtimes read their defaults from the program itself, not from a library it loads: every program
# gets its own copy of them, added once all targets exist.
function(vmk_sanitizer_defaults_in_programs dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/platform/services/SanitizerOptions.cpp
        ${PROJECT_SOURCE_DIR}/src/platform/services/SanitizedChildProcesses.cpp)
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    vmk_sanitizer_defaults_in_programs(${sub})
  endforeach()
endfunction()
if(VMK_SANITIZE)
  cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL vmk_sanitizer_defaults_in_programs ${PROJECT_SOURCE_DIR})
endif()
