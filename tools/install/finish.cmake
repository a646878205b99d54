# Finishes an install, run by `cmake --install` once the files are in place:
# the release's manifest (files.ini), the desktop entry, the MIME types the system
# lacks and, for an install onto this machine (no DESTDIR), the recording filter's
# registration in the installing user's registry and the desktop's caches.
#
# The install rules set TW_APP_DIR, TW_APP_FILES, TW_SHARE_SOURCE and TW_UPDATE_SERVER.
# The install scripts run under CMake's oldest policies; this one under today's.
cmake_policy(VERSION 3.25)

set(tw_root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(tw_app "${tw_root}/${TW_APP_DIR}")

# --- files.ini: the manifest of exactly the files installed, as the update server
# would publish them. A directory of links to them keeps anything else that sits in
# the program's directory (downloads in progress, a user's files) out of it.
string(RANDOM LENGTH 12 tw_tag)
set(tw_stage "${tw_root}/lib/.tarnwick-release-${tw_tag}")
file(MAKE_DIRECTORY "${tw_stage}")
foreach(tw_name ${TW_APP_FILES})
  file(CREATE_LINK "${tw_app}/${tw_name}" "${tw_stage}/${tw_name}" COPY_ON_ERROR)
endforeach()
execute_process(COMMAND "${TW_UPDATE_SERVER}" --root "${tw_stage}" --write-manifest "${tw_app}/files.ini"
                RESULT_VARIABLE tw_rc OUTPUT_VARIABLE tw_out ERROR_VARIABLE tw_out)
file(REMOVE_RECURSE "${tw_stage}")
if(NOT tw_rc EQUAL 0)
  message(FATAL_ERROR "Could not write the manifest ${tw_app}/files.ini: ${tw_out}")
endif()
message(STATUS "Installing: ${tw_app}/files.ini")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${tw_app}/files.ini")

# --- The desktop entry, which names the command by its path: a bin/ made by this
# install is on no desktop session's PATH until the user logs in again.
set(tw_exec "${CMAKE_INSTALL_PREFIX}/bin/tarnwick")
if(tw_exec MATCHES "[\n\r]")
  message(FATAL_ERROR "The install prefix may not hold a line break: ${CMAKE_INSTALL_PREFIX}")
endif()
string(REPLACE "%" "%%" tw_exec "${tw_exec}")
if(tw_exec MATCHES [=[[ 	"'\\><~|&;$*?#()`]]=])
  # A quoted argument escapes ", `, $ and \; the value's own escaping then doubles
  # every backslash.
  string(REGEX REPLACE [=[([\\"`$])]=] [=[\\\1]=] tw_exec "${tw_exec}")
  string(REPLACE "\\" "\\\\" tw_exec "\"${tw_exec}\"")
endif()
file(READ "${TW_SHARE_SOURCE}/tarnwick.desktop.in" tw_entry)
string(REPLACE "@TW_EXEC@" "${tw_exec}" tw_entry "${tw_entry}")
set(tw_desktop "${tw_root}/share/applications/tarnwick.desktop")
message(STATUS "Installing: ${tw_desktop}")
file(WRITE "${tw_desktop}" "${tw_entry}")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${tw_desktop}")

# --- MIME types: the system's database (XDG_DATA_DIRS) decides what is missing.
set(tw_types "")
set(tw_alias_names "")
set(tw_alias_targets "")
set(tw_dirs "$ENV{XDG_DATA_DIRS}")
if(tw_dirs STREQUAL "")
  set(tw_dirs "/usr/local/share:/usr/share")
endif()
string(REPLACE ":" ";" tw_dirs "${tw_dirs}")
foreach(tw_dir ${tw_dirs})
  string(REGEX REPLACE "/+$" "" tw_dir "${tw_dir}")
  if(tw_dir STREQUAL "" OR tw_dir STREQUAL "${tw_root}/share")
    continue()
  endif()
  if(EXISTS "${tw_dir}/mime/types")
    file(STRINGS "${tw_dir}/mime/types" tw_lines)
    list(APPEND tw_types ${tw_lines})
  endif()
  if(EXISTS "${tw_dir}/mime/aliases")
    file(STRINGS "${tw_dir}/mime/aliases" tw_lines)
    foreach(tw_line ${tw_lines})
      if(tw_line MATCHES "^([^ ]+) ([^ ]+)$")
        list(APPEND tw_alias_names "${CMAKE_MATCH_1}")
        list(APPEND tw_alias_targets "${CMAKE_MATCH_2}")
      endif()
    endforeach()
  endif()
endforeach()

# Sets <out> to the system's name for the type that an element's first type
# attribute names (the type itself, or what it is an alias of), or to "" when the
# system does not know it.
function(tw_system_type element out)
  string(REGEX MATCH "type=\"([^\"]+)\"" match "${element}")
  set(type "${CMAKE_MATCH_1}")
  list(FIND tw_types "${type}" index)
  if(NOT index EQUAL -1)
    set(${out} "${type}" PARENT_SCOPE)
    return()
  endif()
  list(FIND tw_alias_names "${type}" index)
  if(index EQUAL -1)
    set(${out} "" PARENT_SCOPE)
  else()
    list(GET tw_alias_targets ${index} target)
    set(${out} "${target}" PARENT_SCOPE)
  endif()
endfunction()

file(READ "${TW_SHARE_SOURCE}/mime-types.xml" tw_xml)
set(tw_missing "")
while(TRUE)
  string(FIND "${tw_xml}" "<mime-type " tw_begin)
  string(FIND "${tw_xml}" "</mime-type>" tw_end)
  if(tw_begin EQUAL -1 OR tw_end EQUAL -1)
    break()
  endif()
  math(EXPR tw_length "${tw_end} + 12 - ${tw_begin}")
  string(SUBSTRING "${tw_xml}" ${tw_begin} ${tw_length} tw_block)
  math(EXPR tw_next "${tw_end} + 12")
  string(SUBSTRING "${tw_xml}" ${tw_next} -1 tw_xml)

  tw_system_type("${tw_block}" tw_known)
  if(tw_known STREQUAL "")
    string(APPEND tw_missing "  ${tw_block}\n")
    continue()
  endif()
  # A known type: only the alias names the system lacks are added to it.
  string(REGEX MATCHALL "<alias type=\"[^\"]+\"/>" tw_aliases "${tw_block}")
  set(tw_new "")
  foreach(tw_alias ${tw_aliases})
    tw_system_type("${tw_alias}" tw_alias_known)
    if(tw_alias_known STREQUAL "")
      string(APPEND tw_new "    ${tw_alias}\n")
    endif()
  endforeach()
  if(NOT tw_new STREQUAL "")
    string(APPEND tw_missing "  <mime-type type=\"${tw_known}\">\n${tw_new}  </mime-type>\n")
  endif()
endwhile()

set(tw_mime "${tw_root}/share/mime")
set(tw_package "${tw_mime}/packages/tarnwick.xml")
if(tw_missing STREQUAL "")
  file(REMOVE "${tw_package}")
else()
  message(STATUS "Installing: ${tw_package}")
  file(WRITE "${tw_package}"
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<!-- Tarnwick's types that the system's MIME database lacked at install. -->\n"
       "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
       "${tw_missing}</mime-info>\n")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${tw_package}")
endif()

# --- This machine: registration and caches. A staged install (DESTDIR) leaves
# them to the tarnwick command, which registers the filter at its first start.
string(CONCAT tw_done "Tarnwick is installed in ${CMAKE_INSTALL_PREFIX}: open a stream link, or run "
       "${CMAKE_INSTALL_PREFIX}/bin/tarnwick [URL]; remove it with tarnwick --uninstall.")
if(NOT "$ENV{DESTDIR}" STREQUAL "")
  message(STATUS "${tw_done}")
  return()
endif()

execute_process(COMMAND "${tw_app}/regsvr32" "${tw_app}/Kestrin.ax"
                RESULT_VARIABLE tw_rc OUTPUT_VARIABLE tw_out ERROR_VARIABLE tw_out)
if(tw_rc EQUAL 0)
  message(STATUS "Registered the recording filter ${tw_app}/Kestrin.ax in the user's registry")
else()
  message(WARNING "Could not register the recording filter (regsvr32 exit code ${tw_rc}): ${tw_out}"
                  "The tarnwick command tries again at its next start.")
endif()

find_program(TW_UPDATE_DESKTOP_DATABASE update-desktop-database)
if(TW_UPDATE_DESKTOP_DATABASE)
  execute_process(COMMAND "${TW_UPDATE_DESKTOP_DATABASE}" -q "${tw_root}/share/applications")
endif()
find_program(TW_UPDATE_MIME_DATABASE update-mime-database)
if(TW_UPDATE_MIME_DATABASE AND EXISTS "${tw_mime}/packages")
  execute_process(COMMAND "${TW_UPDATE_MIME_DATABASE}" "${tw_mime}" OUTPUT_QUIET)
endif()
message(STATUS "${tw_done}")
