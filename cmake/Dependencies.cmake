# Third-party dependencies shared by every target: Boost headers, zlib and JNI
# headers.
# Each is offered as an INTERFACE target so that targets name what they use.

# --- Boost (headers only: PropertyTree, Foreach) ---
if(CMAKE_CROSSCOMPILING)
  # The cross compiler must not see the host's /usr/include, so only the boost
  # directory is made visible, through a link of its own in the build tree.
  set(TQ_HOST_BOOST_DIR "/usr/include/boost" CACHE PATH "Host Boost header directory")
  set(_boost_root ${CMAKE_BINARY_DIR}/boost-include)
  file(MAKE_DIRECTORY ${_boost_root})
  if(NOT EXISTS ${_boost_root}/boost)
    file(CREATE_LINK ${TQ_HOST_BOOST_DIR} ${_boost_root}/boost SYMBOLIC)
  endif()
  add_library(tq_boost INTERFACE)
  target_include_directories(tq_boost SYSTEM INTERFACE ${_boost_root})
else()
  find_package(Boost 1.58 REQUIRED)
  add_library(tq_boost INTERFACE)
  target_link_libraries(tq_boost INTERFACE Boost::boost)
endif()

# --- zlib: reading the manifests of the class path's jars ---
# Linked statically, so that the launcher needs no library beyond the
# system's: libz-mingw-w64-dev for the Windows build, zlib1g-dev here; an
# MSVC build names its zlib with ZLIB_ROOT.
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

# --- JNI headers ---
# The JDK used for headers, libjvm, javac, jar and jlink: JAVA_HOME when set,
# else Debian's OpenJDK 17.
if(DEFINED ENV{JAVA_HOME})
  set(_jdk_default "$ENV{JAVA_HOME}")
else()
  set(_jdk_default "/usr/lib/jvm/java-17-openjdk-amd64")
endif()
set(TQ_JDK_HOME "${_jdk_default}" CACHE PATH "JDK used by the build and the tests")
set(JAVA_HOME "${TQ_JDK_HOME}")
set(ENV{JAVA_HOME} "${TQ_JDK_HOME}")

add_library(tq_jni INTERFACE)
if(WIN32 AND NOT MSVC)
  # The JDK here is a Linux one: its jni.h is portable, its machine header is
  # not. A Windows machine header of our own stands in front of it.
  set(_jni_include ${CMAKE_BINARY_DIR}/jni-include)
  file(MAKE_DIRECTORY ${_jni_include})
  configure_file(${TQ_JDK_HOME}/include/jni.h ${_jni_include}/jni.h COPYONLY)
  configure_file(${TQ_JDK_HOME}/include/jvmti.h ${_jni_include}/jvmti.h COPYONLY)
  target_include_directories(tq_jni SYSTEM INTERFACE
    ${CMAKE_SOURCE_DIR}/cmake/win32-jni ${_jni_include})
else()
  find_package(JNI REQUIRED COMPONENTS JVM)
  target_include_directories(tq_jni SYSTEM INTERFACE ${JNI_INCLUDE_DIRS})
  # JAVA_JVM_LIBRARY names the JDK's libjvm, which the tests load for real.
endif()
