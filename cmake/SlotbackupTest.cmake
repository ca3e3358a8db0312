# slotbackup_system_calls(target): a program or library as it is installed,
# whose file layer and worker pool call the system straight (test programs
# get the fault-injection seam and the thread injection in their place, from
# slotbackup_test).
function(slotbackup_system_calls target)
  target_link_libraries(${target} PRIVATE archlib_thread_calls)
  if(WIN32)
    target_link_libraries(${target} PRIVATE platform_win32_system_calls)
  else()
    target_link_libraries(${target} PRIVATE platform_system_calls)
  endif()
endfunction()

# slotbackup_test(NAME sources... [PROPERTIES name value...]): one GoogleTest
# executable linked with the core library. Each of its cases is a CTest test
# of its own, named NAME.Suite.Case: `ctest -R NAME` still selects the
# program, and a case that calls GTEST_SKIP shows as skipped, with its reason
# in its output. The properties apply to every case. The cases are listed
# when CTest starts, not at build time: under a cross build the listing runs
# through CMAKE_CROSSCOMPILING_EMULATOR (Wine), which the build need not have.
# DISABLED_ cases are run only by other cases, in a child; they are not
# listed.
include(GoogleTest)
function(slotbackup_test name)
  if(NOT SLOTBACKUP_TESTS)
    return()
  endif()
  cmake_parse_arguments(PARSE_ARGV 1 test "" "" "PROPERTIES")
  add_executable(${name} ${test_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE slotbackup_core test_support GTest::gtest_main
                                        archlib_thread_injection)
  # The file layer's calls pass through the fault-injection seam.
  if(WIN32)
    target_link_libraries(${name} PRIVATE platform_win32_fault_injection)
  else()
    target_link_libraries(${name} PRIVATE platform_fault_injection)
  endif()
  gtest_discover_tests(${name} TEST_PREFIX ${name}. TEST_FILTER "-*DISABLED_*"
                       DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ${test_PROPERTIES})
endfunction()

if(SLOTBACKUP_TESTS AND WIN32 AND CMAKE_CROSSCOMPILING)
  # No GoogleTest package exists for the Windows target: build it from the
  # sources Debian ships (package googletest) with the same toolchain.
  set(SLOTBACKUP_GOOGLETEST_SOURCE /usr/src/googletest
      CACHE PATH "GoogleTest sources for the cross build")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${SLOTBACKUP_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

  # Test programs run under Wine, quietly and headless, in a prefix of their
  # own inside the build folder: i686 ones under 32-bit Wine (Debian's
  # wine32) in a 32-bit prefix, as on 32-bit Windows, x86_64 ones under
  # 64-bit Wine. Wine refuses a prefix made for the other architecture.
  if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
      find_program(SLOTBACKUP_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
      find_program(SLOTBACKUP_WINE NAMES wine64 wine)
      set(wine_arch win64)
    else()
      # Not the "wine" on PATH, which may hand the program to 64-bit Wine.
      find_program(SLOTBACKUP_WINE NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
      set(wine_arch win32)
    endif()
    set(SLOTBACKUP_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix
        CACHE PATH "Wine prefix the tests run in")
    # The program is made for Japanese Windows: from this locale name Wine
    # takes the ANSI code page (932, double-byte) and the date-time form.
    set(SLOTBACKUP_WINE_LOCALE ja_JP.UTF-8 CACHE STRING "Locale the tests run in under Wine")
    # A machine that runs no 32-bit programs cannot start 32-bit Wine.
    set(wine_status 1)
    if(SLOTBACKUP_WINE)
      execute_process(COMMAND ${SLOTBACKUP_WINE} --version RESULT_VARIABLE wine_status
                      OUTPUT_QUIET ERROR_QUIET)
    endif()
    if(wine_status EQUAL 0)
      set(CMAKE_CROSSCOMPILING_EMULATOR
          /usr/bin/env WINEPREFIX=${SLOTBACKUP_WINEPREFIX} WINEARCH=${wine_arch} WINEDEBUG=-all
          "WINEDLLOVERRIDES=mscoree,mshtml=" LC_ALL=${SLOTBACKUP_WINE_LOCALE} ${SLOTBACKUP_WINE})
    else()
      message(WARNING "No Wine that runs ${CMAKE_SYSTEM_PROCESSOR} programs here: the tests cannot run")
    endif()
  endif()
endif()
