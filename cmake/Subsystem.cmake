# Each subsystem is one library built from every source in its folder, so that adding a file never
# means editing a build script. Dependencies point one way: platform <- core <- editor <- views, signatures
# <- chrome, panels <- app.
function(vmk_subsystem name)
  cmake_parse_arguments(ARG "SHARED" "" "DEPENDS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.c)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(NOT sources)
    # A subsystem with no sources yet still takes part in the dependency chain.
    add_library(vmk_${name} INTERFACE)
    target_include_directories(vmk_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(vmk_${name} INTERFACE ${ARG_DEPENDS})
    return()
  elseif(ARG_SHARED)
    add_library(vmk_${name} SHARED ${sources})
  else()
    add_library(vmk_${name} STATIC ${sources})
  endif()
  target_include_directories(vmk_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(vmk_${name} PUBLIC ${ARG_DEPENDS})
endfunction()

# One test executable per subsystem, each GoogleTest case its own CTest test so that ctest -j spreads them.
function(vmk_tests name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT sources)
    return()
  endif()
  add_executable(test_${name} ${sources} ${PROJECT_SOURCE_DIR}/tests/support/TestMain.cpp)
  target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(test_${name} PRIVATE ${ARG_DEPENDS} vmk_testsupport GTest::gtest Qt6::Test)
  target_compile_definitions(test_${name} PRIVATE
    VMK_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
    VMK_BUILD_DIR="${PROJECT_BINARY_DIR}")
  # A sanitizer build runs several times slower: its tests get longer before they count as hung.
  set(timeout 300)
  if(VMK_SANITIZE)
    set(timeout 1200)
  endif()
  gtest_discover_tests(test_${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VMK_REDUCE_MOTION=0;OMP_THREAD_LIMIT=1"
               TIMEOUT ${timeout})
endfunction()
