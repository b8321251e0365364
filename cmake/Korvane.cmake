# Shared build settings of the project's own targets.

# Warnings on for our own code; third-party headers come in as system includes.
function(korvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# The program's allocator: mimalloc takes malloc's place in the whole process
# (it is linked even though no code names it, and before the C library), and
# keeps its memory in large pages (platform/os/AllocatorPages.cpp).
# The sanitizer build keeps the sanitizer's own allocator, which checks every access.
function(korvane_mimalloc target)
  if(KORVANE_SANITIZE)
    return()
  endif()
  target_link_libraries(${target} PRIVATE -Wl,--push-state,--no-as-needed mimalloc -Wl,--pop-state)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/platform/os/AllocatorPages.cpp)
endfunction()

# korvane_test(NAME name SOURCES a.cpp b.cpp LIBS lib1 lib2)
# A GoogleTest executable run by CTest on the offscreen Qt platform; its main
# creates the QApplication (tests/common/test_main.cpp).
function(korvane_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE korvane_test_main ${T_LIBS})
  korvane_warnings(${T_NAME})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KORVANE_SOURCE_DIR=${CMAKE_SOURCE_DIR};KORVANE_BIN_DIR=${CMAKE_BINARY_DIR}/bin"
    TIMEOUT 600)
endfunction()
