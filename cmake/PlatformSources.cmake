# tq_platform_sources(<variable> <directory>...): the C++ sources of the
# directories that this system compiles. A file named *_win32.cpp is Windows'
# own, one named *_posix.cpp every other system's; the rest is compiled
# everywhere.
function(tq_platform_sources variable)
  if(WIN32)
    set(_other posix)
  else()
    set(_other win32)
  endif()
  set(_sources)
  foreach(_dir IN LISTS ARGN)
    file(GLOB _found CONFIGURE_DEPENDS ${_dir}/*.cpp)
    list(FILTER _found EXCLUDE REGEX "_${_other}\\.cpp$")
    list(APPEND _sources ${_found})
  endforeach()
  set(${variable} ${_sources} PARENT_SCOPE)
endfunction()
