# The publisher's name, version and icon in SETUP.EXE. Each value is a cache
# variable that a configure may set (-DSETUP_PRODUCT_NAME=...); they reach
# the version resource, the icon and the application manifest through a
# resource script generated from res/setup_brand.rc.in. The program itself
# does not read them: its dialog and messages stay as they are.
#
# kq_generate_branding(<output.rc>) checks the values, stopping the
# configure step with a message naming the variable at fault, and writes the
# resource script and the manifest it embeds.

set(SETUP_COMPANY_NAME "Korvane" CACHE STRING "CompanyName of SETUP.EXE's version resource")
set(SETUP_PRODUCT_NAME "Korvane Install Exec Setup" CACHE STRING "ProductName of SETUP.EXE's version resource")
set(SETUP_FILE_DESCRIPTION "Setup bootstrapper for Windows Installer packages" CACHE STRING
  "FileDescription of SETUP.EXE's version resource")
set(SETUP_VERSION "1.0.0.0" CACHE STRING
  "File and product version of SETUP.EXE: four numbers from 0 to 65535 (MAJOR.MINOR.BUILD.REVISION)")
set(SETUP_COPYRIGHT "" CACHE STRING "LegalCopyright of SETUP.EXE's version resource (left out when empty)")
set(SETUP_ICON "${KQ_SOURCE_ROOT}/src/app/res/setup.ico" CACHE FILEPATH "Icon file (.ico) of SETUP.EXE")
set(SETUP_MANIFEST_NAME "Korvane.Setup" CACHE STRING
  "Assembly identity name in SETUP.EXE's manifest (letters, digits, '.', '-', '_')")

# Stops the configure step for a bad value of `variable`, naming it. The
# value leaves the cache, so that the next configure does not stop on it
# again: it starts from the default unless another value is given.
function(kq_refuse_branding variable)
  string(CONCAT why ${ARGN})
  set(value "${${variable}}")
  unset(${variable} CACHE)
  message(FATAL_ERROR "${variable} '${value}' ${why} (the value is not kept: the next configure uses the "
    "default unless -D${variable}=... gives another)")
endfunction()

# A version resource holds each part in 16 bits.
function(kq_check_setup_version out_commas out_dots)
  set(parts "")
  if(SETUP_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+$")
    string(REPLACE "." ";" written "${SETUP_VERSION}")
    foreach(part IN LISTS written)
      # Without leading zeros, which a resource compiler reads as octal.
      string(REGEX REPLACE "^0+([0-9])" "\\1" part "${part}")
      string(LENGTH "${part}" digits)
      if(digits GREATER 5 OR part GREATER 65535)
        set(parts "")
        break()
      endif()
      list(APPEND parts ${part})
    endforeach()
  endif()
  list(LENGTH parts count)
  if(NOT count EQUAL 4)
    kq_refuse_branding(SETUP_VERSION "is not a version SETUP.EXE can carry: "
      "write four numbers from 0 to 65535 separated by dots, such as 3.1.0.0")
  endif()
  list(JOIN parts "," commas)
  list(JOIN parts "." dots)
  set(${out_commas} "${commas}" PARENT_SCOPE)
  set(${out_dots} "${dots}" PARENT_SCOPE)
endfunction()

# An icon file starts with a header of three 16-bit words: reserved (0),
# type (1 for icons; 2 is a cursor) and the number of images (at least one).
function(kq_check_setup_icon out_path)
  # A relative -DSETUP_ICON= is made absolute by CMake itself, from the
  # folder where the configure command runs; a value that is still relative
  # (a preset's cacheVariables, an edited cache) is taken from there too.
  set(base "$ENV{PWD}")
  if(base STREQUAL "")
    set(base "${CMAKE_SOURCE_DIR}")
  endif()
  get_filename_component(icon "${SETUP_ICON}" ABSOLUTE BASE_DIR "${base}")
  if(NOT EXISTS "${icon}" OR IS_DIRECTORY "${icon}")
    kq_refuse_branding(SETUP_ICON "is not a file (looked for ${icon})")
  endif()
  file(READ "${icon}" header LIMIT 6 HEX)
  if(NOT header MATCHES "^00000100(....)$" OR CMAKE_MATCH_1 STREQUAL "0000")
    kq_refuse_branding(SETUP_ICON "is not an icon file (.ico): "
      "it does not start with an icon header holding at least one image")
  endif()
  set(${out_path} "${icon}" PARENT_SCOPE)
endfunction()

# A string between double quotes in a resource script: a quote is doubled
# and a backslash escaped.
function(kq_rc_string out value)
  string(REPLACE "\\" "\\\\" value "${value}")
  string(REPLACE "\"" "\"\"" value "${value}")
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

function(kq_generate_branding output)
  kq_check_setup_version(SETUP_VERSION_COMMAS SETUP_VERSION_DOTS)
  kq_check_setup_icon(icon)
  # Windows refuses to start a program whose manifest names its assembly
  # with other characters ("side-by-side configuration is incorrect").
  if(NOT SETUP_MANIFEST_NAME MATCHES "^[A-Za-z0-9_][A-Za-z0-9._-]*$")
    kq_refuse_branding(SETUP_MANIFEST_NAME "is not an assembly name: "
      "use letters, digits, '.', '-' and '_' only, such as Northwind.Ledger.Setup")
  endif()
  get_filename_component(dir "${output}" DIRECTORY)
  set(manifest "${dir}/setup.manifest")
  configure_file(${KQ_SOURCE_ROOT}/src/app/res/setup.manifest.in "${manifest}" @ONLY)

  kq_rc_string(SETUP_RC_COMPANY "${SETUP_COMPANY_NAME}")
  kq_rc_string(SETUP_RC_PRODUCT "${SETUP_PRODUCT_NAME}")
  kq_rc_string(SETUP_RC_DESCRIPTION "${SETUP_FILE_DESCRIPTION}")
  kq_rc_string(SETUP_RC_ICON "${icon}")
  kq_rc_string(SETUP_RC_MANIFEST "${manifest}")
  set(SETUP_RC_COPYRIGHT "")
  if(NOT SETUP_COPYRIGHT STREQUAL "")
    kq_rc_string(copyright "${SETUP_COPYRIGHT}")
    set(SETUP_RC_COPYRIGHT "      VALUE \"LegalCopyright\", \"${copyright}\"")
  endif()
  configure_file(${KQ_SOURCE_ROOT}/src/app/res/setup_brand.rc.in "${output}" @ONLY)
  # The script names the icon and the manifest by path; the resource
  # compiler runs again when either changes.
  set_source_files_properties("${output}" PROPERTIES OBJECT_DEPENDS "${icon};${manifest}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${icon}")
  set_property(GLOBAL PROPERTY KQ_SETUP_BRAND_RC "${output}")
endfunction()
