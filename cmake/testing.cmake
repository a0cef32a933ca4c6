# Test set-up shared by both builds. Natively GoogleTest comes from the system; in the cross
# build it is compiled from /usr/src/googletest and the tests run under Wine through tools/wine-run.
if(CMAKE_CROSSCOMPILING)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      "${CMAKE_SOURCE_DIR}/tools/wine-run;--prefix;${CMAKE_BINARY_DIR}/wineprefix")
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
  add_library(GTest::gmock ALIAS gmock)
else()
  find_package(GTest REQUIRED)
  find_package(Threads REQUIRED)
endif()

# dorvane_test(<name> SOURCES <files...> LIBS <targets...> [QT])
# One test program, run by ctest (under Wine when cross-built). QT runs it on Qt's offscreen
# platform. Every test runs with the en_US locale so nothing depends on the machine's language.
function(dorvane_test name)
  cmake_parse_arguments(T "QT" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set(env "LANG=en_US.UTF-8" "LC_ALL=en_US.UTF-8" "TZ=UTC")
  if(T_QT)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT})
endfunction()
