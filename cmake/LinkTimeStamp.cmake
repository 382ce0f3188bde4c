# The time stamp in a Windows deliverable's PE header. GNU ld writes the time of
# the link there and in the export directory, or SOURCE_DATE_EPOCH when that is
# set: a release sets it to its commit's time, so that every build of one commit
# gives the same bytes. Its value at configure time goes onto the link command
# line, so that a new value relinks the file even when no object changed.
function(tq_link_time_stamp target)
  if(MSVC OR NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    return()
  endif()
  if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[1-9][0-9]*$")
    message(FATAL_ERROR "SOURCE_DATE_EPOCH must be seconds since 1970, not '$ENV{SOURCE_DATE_EPOCH}'")
  endif()
  set_property(TARGET ${target} PROPERTY RULE_LAUNCH_LINK
    "${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=$ENV{SOURCE_DATE_EPOCH}")
endfunction()
