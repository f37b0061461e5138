# One place that registers a QtTest executable with CTest: label, timeout,
# offscreen platform, and an optional resource lock for tests that share one.
# Labels: `unit` runs in-process only (no simulator, bus or window server:
# ./test --quick); `e2e` starts the simulator or the program; `desktop` starts
# its own X server, window manager or accessibility bus.
# Sanitizer options are left to the environment (scripts/sanitize.sh sets them).
#
# krm_add_test(NAME tst_x SOURCES a.cpp LIBS krm_core LABEL unit
#              [TIMEOUT 120] [RESOURCE_LOCK name])
function(krm_add_test)
  cmake_parse_arguments(T "" "NAME;LABEL;TIMEOUT;RESOURCE_LOCK" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Test)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/tests/common)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES
    LABELS ${T_LABEL}
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")
  if(T_RESOURCE_LOCK)
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK ${T_RESOURCE_LOCK})
  endif()
endfunction()
