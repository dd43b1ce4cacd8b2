# orvel_add_test(NAME SOURCES... LIBS ...): a GoogleTest program whose cases CTest runs one by one.
# A cross-built program runs as one test: under an emulator every process start is costly.
function(orvel_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(WIN32)
    target_compile_options(${name} PRIVATE
      -include ${PROJECT_SOURCE_DIR}/platform/tests/win32_test_compat.h)
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
