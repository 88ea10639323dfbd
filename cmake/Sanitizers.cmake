# AddressSanitizer and UndefinedBehaviorSanitizer for the whole tree: cmake -DVMK_SANITIZE=ON in a
# build folder of its own (make test-sanitized). Run the suite under it whenever threads or parsing
# change. Leak reports are off (see platform/services/SanitizerOptions.cpp); undefined behaviour stops
# the process, so that a test fails instead of printing a line nobody reads.
option(VMK_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(VMK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(VMK_SANITIZE=1)
endif()
