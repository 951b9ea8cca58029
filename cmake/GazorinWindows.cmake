# Windows programs and libraries, built with the mingw-w64 cross compilers when they are
# installed: the bridge programs that run Windows plug-ins under Wine, and Windows builds of
# plug-ins for the tests. Each is one compiler call; nothing here needs a Windows toolchain file.

option(GAZORIN_WINDOWS_BRIDGE "Build the bridge programs for Windows plug-ins (needs mingw-w64)" ON)
find_program(GAZORIN_MINGW32_CXX NAMES i686-w64-mingw32-g++-win32 i686-w64-mingw32-g++)
find_program(GAZORIN_MINGW64_CXX NAMES x86_64-w64-mingw32-g++-win32 x86_64-w64-mingw32-g++)
set(GAZORIN_WINDOWS_ARCHES)
if(GAZORIN_WINDOWS_BRIDGE)
  if(GAZORIN_MINGW32_CXX)
    list(APPEND GAZORIN_WINDOWS_ARCHES 32)
  endif()
  if(GAZORIN_MINGW64_CXX)
    list(APPEND GAZORIN_WINDOWS_ARCHES 64)
  endif()
endif()
if(GAZORIN_WINDOWS_BRIDGE AND NOT GAZORIN_WINDOWS_ARCHES)
  message(STATUS "Windows plug-ins: no mingw-w64 cross compiler, the bridge programs are not built")
endif()

# gazorin_windows_binary(TARGET BITS 32|64 OUTPUT file SOURCES ... [DEPENDS ...]
#                        [DEFINES ...] [INCLUDES ...] [LIBRARY])
# A Windows program (or, with LIBRARY, a library exporting undecorated names), linked
# statically so that it needs nothing beyond what Wine provides.
function(gazorin_windows_binary target)
  cmake_parse_arguments(W "LIBRARY" "BITS;OUTPUT" "SOURCES;DEPENDS;DEFINES;INCLUDES" ${ARGN})
  if(W_BITS EQUAL 64)
    set(cxx ${GAZORIN_MINGW64_CXX})
  else()
    set(cxx ${GAZORIN_MINGW32_CXX})
  endif()
  set(flags -std=c++20 -O2 -Wall -Wextra -static -s)
  if(W_LIBRARY)
    list(APPEND flags -shared -Wl,--kill-at)
  endif()
  list(TRANSFORM W_DEFINES PREPEND -D)
  list(TRANSFORM W_INCLUDES PREPEND -I)
  get_filename_component(dir ${W_OUTPUT} DIRECTORY)
  add_custom_command(OUTPUT ${W_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${cxx} ${flags} ${W_DEFINES} ${W_INCLUDES} ${W_SOURCES} -o ${W_OUTPUT}
    DEPENDS ${W_SOURCES} ${W_DEPENDS}
    COMMENT "Building Windows ${W_BITS}-bit ${W_OUTPUT}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${W_OUTPUT})
endfunction()
