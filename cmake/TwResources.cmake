# Resource scripts are compiled by windres into a .res file, which is embedded
# verbatim in the module file as the non-loaded ELF section ".rsrc". The kernel
# library reads resources and version information from that section.
find_program(TW_WINDRES NAMES i686-w64-mingw32-windres x86_64-w64-mingw32-windres windres REQUIRED)

# tw_add_resources(<target> <rc file> [INCLUDES dir...] [DEFINES NAME=VALUE...] [DEPENDS file...])
function(tw_add_resources target rcfile)
  cmake_parse_arguments(ARG "" "" "INCLUDES;DEFINES;DEPENDS" ${ARGN})
  get_filename_component(rcabs ${rcfile} ABSOLUTE)
  get_filename_component(rcname ${rcfile} NAME_WE)
  get_filename_component(rcdir ${rcabs} DIRECTORY)
  set(res ${CMAKE_CURRENT_BINARY_DIR}/${target}_${rcname}.res)
  set(asm ${CMAKE_CURRENT_BINARY_DIR}/${target}_${rcname}_rsrc.S)
  # Scripts are UTF-8, the ANSI code page here.
  set(flags --preprocessor=cpp --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED --codepage=65001
            -I ${rcdir} -I ${PROJECT_SOURCE_DIR}/platform/include)
  foreach(dir ${ARG_INCLUDES})
    list(APPEND flags -I ${dir})
  endforeach()
  foreach(def ${ARG_DEFINES})
    list(APPEND flags -D ${def})
  endforeach()
  add_custom_command(OUTPUT ${res}
    COMMAND ${TW_WINDRES} ${flags} -O res -i ${rcabs} -o ${res}
    WORKING_DIRECTORY ${rcdir}
    DEPENDS ${rcabs} ${ARG_DEPENDS}
    COMMENT "Compiling resources ${rcfile}"
    VERBATIM)
  # DWORD-aligned, so that the .res streams of several scripts linked into one
  # module concatenate into one valid stream.
  file(WRITE ${asm}.in "\t.section .rsrc,\"\",@progbits\n\t.p2align 2\n\t.incbin \"${res}\"\n\t.section .note.GNU-stack,\"\",@progbits\n")
  configure_file(${asm}.in ${asm} COPYONLY)
  set_source_files_properties(${asm} PROPERTIES OBJECT_DEPENDS ${res})
  target_sources(${target} PRIVATE ${asm})
endfunction()
