# The version resource of a Windows deliverable: file and product version (the
# project's), product name, file description, original file name and the company
# name, which a game team sets when it configures its build:
#   cmake --preset mingw -DTQ_COMPANY_NAME="Zarnhall Games AB"
# Windows shows them in the file's properties; virus scanners weigh a binary that
# names its maker and version as less suspect than one that names nothing.
set(TQ_COMPANY_NAME "Zarnhall" CACHE STRING
  "Company name in the version resource of Tessvik.exe and Quellink.dll")
if(TQ_COMPANY_NAME STREQUAL "" OR TQ_COMPANY_NAME MATCHES "[\n\r]")
  message(FATAL_ERROR "TQ_COMPANY_NAME must be one line of text, not '${TQ_COMPANY_NAME}'")
endif()
set(_tq_version_info_template ${CMAKE_CURRENT_LIST_DIR}/version_info.rc.in)

# tq_version_info(<target> <product name> <description>): the version resource of
# <target>'s file, compiled into it.
function(tq_version_info target product description)
  get_target_property(_type ${target} TYPE)
  get_target_property(_name ${target} OUTPUT_NAME)
  if(_type STREQUAL "EXECUTABLE")
    set(TQ_FILE_TYPE VFT_APP)
    set(TQ_ORIGINAL_FILENAME ${_name}.exe)
  else()
    set(TQ_FILE_TYPE VFT_DLL)
    set(TQ_ORIGINAL_FILENAME ${_name}.dll)
  endif()
  set(TQ_PRODUCT_NAME ${product})
  set(TQ_FILE_DESCRIPTION ${description})
  set(TQ_VERSION ${PROJECT_VERSION})
  string(REPLACE "." "," TQ_VERSION_COMMAS ${PROJECT_VERSION})
  # A resource string writes a double quote twice.
  string(REPLACE "\"" "\"\"" TQ_COMPANY_NAME_RC "${TQ_COMPANY_NAME}")
  set(_rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${_tq_version_info_template} ${_rc} @ONLY)
  target_sources(${target} PRIVATE ${_rc})
endfunction()
