# slotbackup_test(NAME sources...): one GoogleTest executable registered with
# CTest, linked with the core library. Under a cross build CTest runs it
# through CMAKE_CROSSCOMPILING_EMULATOR (Wine).
function(slotbackup_test name)
  if(NOT SLOTBACKUP_TESTS)
    return()
  endif()
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE slotbackup_core GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
endfunction()
