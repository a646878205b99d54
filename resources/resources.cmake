# Resources of the launcher (Tarnwick) and the recorder library (TarnwickDll.dll):
# their resource scripts, the ids headers the code shares, the control-bar bitmaps
# and the program icon (drawn by tools/artwork). Both version blocks carry
# TW_VERSION, handed to the resource compiler as TW_VERSION_COMMAS (1,0,0,1) and
# TW_VERSION_DOTS (1.0.0.1); version.h turns the latter into text.

if(NOT TW_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "TW_VERSION must be four dot-separated numbers, not '${TW_VERSION}'")
endif()
foreach(part ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3} ${CMAKE_MATCH_4})
  if(part GREATER 65535)
    message(FATAL_ERROR "TW_VERSION '${TW_VERSION}': each number must fit 16 bits")
  endif()
endforeach()

# tw_add_recorder_resources(<target>) / tw_add_launcher_resources(<target>)
#   Embeds the recorder's or the launcher's resources in <target>.
function(tw_add_recorder_resources target)
  _tw_add_product_resources(${target} recorder.rc recorder_ids.h buttons.bmp speaker.bmp tarnwick.ico)
endfunction()

function(tw_add_launcher_resources target)
  _tw_add_product_resources(${target} launcher.rc launcher_ids.h tarnwick.ico)
endfunction()

function(_tw_add_product_resources target rcfile)
  set(dir ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  string(REPLACE "." "," commas "${TW_VERSION}")
  set(depends ${dir}/version.h)
  foreach(file ${ARGN})
    list(APPEND depends ${dir}/${file})
  endforeach()
  # The script's own folder, where the ids headers and artwork are, is on the
  # include path already.
  tw_add_resources(${target} ${dir}/${rcfile}
    DEFINES TW_VERSION_COMMAS=${commas} TW_VERSION_DOTS=${TW_VERSION}
    DEPENDS ${depends})
endfunction()

# The tests name platform libraries that the tree defines later; targets are
# resolved when the build is generated.
add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/tests ${CMAKE_BINARY_DIR}/resources/tests)
