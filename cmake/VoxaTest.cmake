# voxa_add_test(NAME <name> TIER <unit|gl|e2e|net|fuzz> SOURCES <files...> [INTERNALS]
#               [LIBS <libs...>] [ENV <VAR=value...>] [RESOURCE_LOCK <locks...>])
#
# One test executable per area, run by CTest as one test and labelled with its tier. Tests of
# the gl and e2e tiers run under their own Xvfb server, so they can run side by side without
# sharing a display or its keyboard focus. A test sees the runtime as a program does (the
# voxa/ headers only) unless it says INTERNALS, which adds the folders' own headers and the
# libraries under them (voxaruntime_internals).
find_package(GTest REQUIRED)

# Each gl/e2e test program gets a private Xvfb server (scripts/with-xvfb): started with
# -noreset, on a free display number chosen under a lock, so programs started side by side never
# share or race for a display (xvfb-run -a can pick the same number twice).
set(VOXA_XVFB_RUN ${CMAKE_SOURCE_DIR}/scripts/with-xvfb)

# What every test program shares, also those built without voxa_add_test: the tests folder on
# its include path, build/tests/ for the program. GCC 12 with AddressSanitizer warns "may be used
# uninitialized" inside libstdc++'s <regex>, which the test frameworks' headers pull in: the
# instrumentation hides the initialisation from the warning's flow analysis. The normal build
# keeps the warning.
function(voxa_test_program target)
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  if(VOXA_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
  endif()
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
endfunction()

function(voxa_add_test)
  cmake_parse_arguments(T "INTERNALS" "NAME;TIER;TIMEOUT" "SOURCES;LIBS;ENV;RESOURCE_LOCK" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/tests/support/exit_guard.cpp)
  target_link_libraries(${T_NAME} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock voxaruntime ${T_LIBS})
  if(T_INTERNALS)
    target_link_libraries(${T_NAME} PRIVATE voxaruntime_internals)
  endif()
  voxa_test_program(${T_NAME})
  if(T_TIER STREQUAL "gl" OR T_TIER STREQUAL "e2e")
    add_test(NAME ${T_NAME} COMMAND ${VOXA_XVFB_RUN} $<TARGET_FILE:${T_NAME}>)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS ${T_TIER} TIMEOUT ${T_TIMEOUT}
                       ENVIRONMENT "VOXA_BIN_DIR=${VOXA_BIN_DIR};VOXA_SOURCE_DIR=${CMAKE_SOURCE_DIR};${T_ENV}")
  if(T_RESOURCE_LOCK)
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK "${T_RESOURCE_LOCK}")
  endif()
endfunction()
