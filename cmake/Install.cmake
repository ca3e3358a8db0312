# The install layout: everything in one folder, the install prefix itself,
# because the runner reads slotbackup.ini and loads the archiver libraries
# from its own folder and writes slotbackup.log there.
#     cmake --install build --prefix /opt/slotbackup    the whole machine
#     cmake --install build --prefix ~/slotbackup       one user
# The folder then holds slotbackup, slotbackup-check, the two archiver
# libraries (POSIX; on Windows users install Unlha32.dll and 7-zip32.dll
# beside the program), slotbackup.ini and examples/ with the scheduling files
# made for this folder.

install(TARGETS slotbackup slotbackup-check RUNTIME DESTINATION .)
if(NOT WIN32)
  install(TARGETS Unlha32 7-zip32 LIBRARY DESTINATION .)
else()
  # The archiver DLLs built here, the Task Scheduler example (its <Command>
  # names the folder to edit) and a read-me with Windows line ends.
  foreach(library Unlha32 7-zip32)
    if(TARGET ${library})
      install(TARGETS ${library} RUNTIME DESTINATION .)
    endif()
  endforeach()
  install(FILES ${CMAKE_SOURCE_DIR}/tools/windows/slotbackup-task.xml DESTINATION .)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(package_bits 32)
  else()
    set(package_bits 64)
  endif()
  configure_file(${CMAKE_SOURCE_DIR}/tools/windows/README-windows.txt
                 ${CMAKE_BINARY_DIR}/windows-install/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/windows-install/README.txt DESTINATION .)
  # The first settings file: the Windows example, in code page 932 with
  # Windows line ends, as Notepad on Japanese Windows saves it.
  configure_file(${CMAKE_SOURCE_DIR}/examples/windows/slotbackup.ini
                 ${CMAKE_BINARY_DIR}/windows-install/slotbackup-utf8.ini @ONLY NEWLINE_STYLE CRLF)
  execute_process(COMMAND iconv -f UTF-8 -t CP932 -o ${CMAKE_BINARY_DIR}/windows-install/slotbackup.ini
                          ${CMAKE_BINARY_DIR}/windows-install/slotbackup-utf8.ini
                  RESULT_VARIABLE converted)
  if(NOT converted EQUAL 0)
    message(FATAL_ERROR "cannot convert examples/windows/slotbackup.ini to code page 932")
  endif()
endif()

# slotbackup.ini holds the user's settings and the run's Error_LOG, so an
# install never replaces one that is there; the commented example is only the
# first one.
if(WIN32)
  install(CODE "set(SLOTBACKUP_EXAMPLES \"${CMAKE_BINARY_DIR}/windows-install\")")
else()
  install(CODE "set(SLOTBACKUP_EXAMPLES \"${CMAKE_SOURCE_DIR}/examples\")")
endif()
install(CODE [[
  set(settings "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/slotbackup.ini")
  if(EXISTS "${settings}")
    message(STATUS "Kept: ${settings}")
  else()
    file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}" TYPE FILE
         FILES "${SLOTBACKUP_EXAMPLES}/slotbackup.ini")
  endif()
]])

# The scheduling examples name the folders docs/install.md recommends
# (/opt/slotbackup, ~/slotbackup); the installed copies name the folder they
# were installed to, in their commands and in their comments, so they work
# and read right as they stand from there.
if(NOT WIN32)
  install(CODE "set(SLOTBACKUP_STAGING \"${CMAKE_BINARY_DIR}/install-examples\")")
  install(CODE [[
    set(folder "${CMAKE_INSTALL_PREFIX}")
    # systemd: '%' starts a specifier, blanks and quotes need quoting.
    function(unit_path path out)
      string(REPLACE "%" "%%" path "${path}")
      if(path MATCHES "[ \t\"'\\\\]")
        string(REPLACE "\\" "\\\\" path "${path}")
        string(REPLACE "\"" "\\\"" path "${path}")
        set(path "\"${path}\"")
      endif()
      set(${out} "${path}" PARENT_SCOPE)
    endfunction()
    unit_path("${folder}/slotbackup" unit_program)
    # cron: the command goes to sh in double quotes; '%' ends a crontab command.
    set(cron_folder "${folder}")
    foreach(special "\\" "\"" "$" "`")
      string(REPLACE "${special}" "\\${special}" cron_folder "${cron_folder}")
    endforeach()
    string(REPLACE "%" "\\%" cron_folder "${cron_folder}")
    # sh: a folder with anything but plain characters goes in single quotes.
    set(shell_folder "${folder}")
    if(NOT folder MATCHES "^[A-Za-z0-9_./+-]+$")
      string(REPLACE "'" "'\\''" shell_folder "${folder}")
      set(shell_folder "'${shell_folder}'")
    endif()

    foreach(example systemd/user/slotbackup.service systemd/user/slotbackup.timer
                    systemd/system/slotbackup.service systemd/system/slotbackup.timer
                    cron/slotbackup.crontab)
      file(READ "${SLOTBACKUP_EXAMPLES}/${example}" text)
      string(REPLACE "ExecStart=/opt/slotbackup/slotbackup" "ExecStart=${unit_program}"
             text "${text}")
      string(REPLACE "ExecStart=%h/slotbackup/slotbackup" "ExecStart=${unit_program}"
             text "${text}")
      string(REPLACE "\"$HOME/slotbackup/" "\"${cron_folder}/" text "${text}")
      # The install command in the comments, quoted for sh where needed.
      string(REPLACE "--prefix /opt/slotbackup" "--prefix ${shell_folder}" text "${text}")
      string(REPLACE "--prefix ~/slotbackup" "--prefix ${shell_folder}" text "${text}")
      # What is left are the comments' sentences: they name the folder too.
      string(REPLACE "/opt/slotbackup" "${folder}" text "${text}")
      string(REPLACE "~/slotbackup" "${folder}" text "${text}")
      get_filename_component(subfolder "${example}" DIRECTORY)
      # Staged per install folder, so that two installs at once do not meet.
      string(MD5 staging "${folder}")
      set(staged "${SLOTBACKUP_STAGING}/${staging}/${example}")
      file(WRITE "${staged}" "${text}")
      file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/examples/${subfolder}" TYPE FILE
           FILES "${staged}")
    endforeach()
  ]])
endif()
