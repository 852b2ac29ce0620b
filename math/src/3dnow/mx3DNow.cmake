# The 3DNow set and the 3DNow extension set, built for x86 only. Each file may use only the
# instructions of its set, and the assembler enforces it: the base set's files accept MMX and
# 3DNow, the extension set's file the extended 3DNow instructions as well. On x86-64 the
# baseline SSE and SSE2 stay allowed, since floats are passed in SSE registers there.
list(APPEND mx_sources src/3dnow/mx3DNowSet.cpp)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i.86)$")
  set(mx_3dnow_base
    src/3dnow/mx3DNowVector.cpp
    src/3dnow/mx3DNowMatrix.cpp
    src/3dnow/mx3DNowQuaternion.cpp
    src/3dnow/mx3DNowTransform.cpp)
  set(mx_3dnow_ext src/3dnow/mx3DNowExt.cpp)
  list(APPEND mx_sources ${mx_3dnow_base} ${mx_3dnow_ext})
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(mx_as_3dnow "-Wa,-march=generic64+3dnow")
    set(mx_as_3dnowa "-Wa,-march=generic64+3dnowa")
  else()
    set(mx_as_3dnow "-Wa,-march=i686+mmx+3dnow")
    set(mx_as_3dnowa "-Wa,-march=i686+mmx+3dnowa")
  endif()
  set_source_files_properties(${mx_3dnow_base} PROPERTIES
    COMPILE_OPTIONS "-mmmx;${mx_as_3dnow};${mx_as_external}")
  set_source_files_properties(${mx_3dnow_ext} PROPERTIES
    COMPILE_OPTIONS "-mmmx;${mx_as_3dnowa};${mx_as_external}")
endif()
