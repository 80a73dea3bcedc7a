# Installs the build into PREFIX and checks that every file users rely on is
# there.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(expected bin/kalvex-cli share/man/man1/kalvex-cli.1
             share/bash-completion/completions/kalvex-cli)
if(GUI)
  list(APPEND expected bin/kalvex share/applications/org.kalvex.Kalvex.desktop
                       share/metainfo/org.kalvex.Kalvex.metainfo.xml)
endif()
foreach(file IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(READ "${PREFIX}/share/bash-completion/completions/kalvex-cli" completion)
if(NOT completion MATCHES "complete -F _kalvex_cli kalvex-cli")
  message(FATAL_ERROR "the completion does not complete kalvex-cli")
endif()
file(REMOVE_RECURSE "${PREFIX}")
