# TQ_STATIC_CXX_RUNTIME: every executable and shared library carries its own copy
# of the C++ runtime (libstdc++, libgcc) instead of needing the system's, so the
# release runs on systems whose libstdc++ is older than the build machine's. In
# shared libraries the runtime's names stay local (--exclude-libs): Quellink's
# copy never meets the JVM's or another native library's, and Quellink still
# exports only the names of its version script.
option(TQ_STATIC_CXX_RUNTIME "Link libstdc++ and libgcc statically (GCC and Clang on Linux)" OFF)

if(TQ_STATIC_CXX_RUNTIME)
  if(WIN32 OR APPLE OR NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    message(FATAL_ERROR "TQ_STATIC_CXX_RUNTIME is for GCC or Clang on Linux")
  endif()
  add_link_options(-static-libstdc++ -static-libgcc
    "$<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,SHARED_LIBRARY>:-Wl,--exclude-libs,libstdc++.a:libgcc.a:libgcc_eh.a>")
endif()
