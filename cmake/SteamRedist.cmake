# Valve's redistributable Steam library, of each generation, in
# ${CMAKE_BINARY_DIR}/steam-redist: the generation Quellink links against (SDK
# 1.58-1.60) in steam-redist/, the two others in steam-redist/1.57/ (SDK 1.57 and
# older) and steam-redist/1.61/ (SDK 1.61 on), for the tests and benchmarks that
# run Quellink against each.
set(QUELLINK_STEAM_REDIST_DIR ${CMAKE_BINARY_DIR}/steam-redist)
set(QUELLINK_STEAM_GENERATIONS 1.57 1.60 1.61 CACHE INTERNAL
  "Generations of Valve's Steam library: SDK <= 1.57, 1.58-1.60 (linked), >= 1.61")
set(QUELLINK_LINKED_STEAM_GENERATION 1.60 CACHE INTERNAL "")

# quellink_steam_generation_suffix(<generation> <variable>): "" for the generation
# Quellink links against, else "-<generation>": what names of staged directories
# and tests carry for a generation.
function(quellink_steam_generation_suffix generation variable)
  if(generation STREQUAL QUELLINK_LINKED_STEAM_GENERATION)
    set(${variable} "" PARENT_SCOPE)
  else()
    set(${variable} "-${generation}" PARENT_SCOPE)
  endif()
endfunction()

# quellink_valve_steam_library(<generation> <variable>): the path of Valve's Steam
# library of that generation (libsteam_api.so, steam_api64.dll).
function(quellink_valve_steam_library generation variable)
  if(WIN32)
    set(_name steam_api64.dll)
  else()
    set(_name libsteam_api.so)
  endif()
  if(generation STREQUAL QUELLINK_LINKED_STEAM_GENERATION)
    set(${variable} ${CMAKE_BINARY_DIR}/steam-redist/${_name} PARENT_SCOPE)
  else()
    set(${variable} ${CMAKE_BINARY_DIR}/steam-redist/${generation}/${_name} PARENT_SCOPE)
  endif()
endfunction()

quellink_valve_steam_library(${QUELLINK_LINKED_STEAM_GENERATION} _steam_runtime)
set(_steam_needed)
foreach(_generation IN LISTS QUELLINK_STEAM_GENERATIONS)
  quellink_valve_steam_library(${_generation} _library)
  list(APPEND _steam_needed ${_library})
endforeach()
if(WIN32)
  set(_steam_implib ${QUELLINK_STEAM_REDIST_DIR}/steam_api64.lib)
  list(APPEND _steam_needed ${_steam_implib})
endif()
set(_steam_missing)
foreach(_file IN LISTS _steam_needed)
  if(NOT EXISTS ${_file})
    list(APPEND _steam_missing ${_file})
  endif()
endforeach()

# A build tree without them fetches them now, with the pinned and checksummed
# scripts/steam-redist (it needs npm the first time; the packages are cached in
# the source tree's build/steam-redist-cache).
if(_steam_missing)
  if(CMAKE_HOST_UNIX)
    message(STATUS "Fetching Valve's Steam library into ${QUELLINK_STEAM_REDIST_DIR}")
    execute_process(
      COMMAND ${PROJECT_SOURCE_DIR}/scripts/steam-redist ${QUELLINK_STEAM_REDIST_DIR}
      RESULT_VARIABLE _steam_fetch)
    set(_steam_failure "scripts/steam-redist failed (exit status ${_steam_fetch}; its message is above)")
  else()
    set(_steam_fetch "not run")
    set(_steam_failure "it is not fetched on Windows (scripts/steam-redist needs bash and npm)")
  endif()
  if(NOT _steam_fetch EQUAL 0)
    list(JOIN _steam_missing "\n  " _steam_missing)
    message(FATAL_ERROR
      "Valve's Steam library is missing, and ${_steam_failure}. Quellink links "
      "against the library and the tests run against each generation. Missing:\n"
      "  ${_steam_missing}\n"
      "Fetch the files with:\n"
      "  scripts/steam-redist ${QUELLINK_STEAM_REDIST_DIR}")
  endif()
endif()

add_library(steam_api_redist SHARED IMPORTED GLOBAL)
set_target_properties(steam_api_redist PROPERTIES IMPORTED_LOCATION ${_steam_runtime})
if(WIN32)
  set_target_properties(steam_api_redist PROPERTIES IMPORTED_IMPLIB ${_steam_implib})
endif()
