# Modules that system code builds: Windows file names, ELF inside.
#
# tw_add_module(<target> <file name> SOURCES ... LIBS ...)
#   A shared object loaded with LoadLibraryA (TarnwickDll.dll, Kestrin.ax, test modules).
#   References inside the module bind to the module itself, as they do in a DLL.
function(tw_add_module target filename)
  cmake_parse_arguments(ARG "" "OUTPUT_DIR" "SOURCES;LIBS" ${ARGN})
  add_library(${target} MODULE ${ARG_SOURCES})
  set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX "" OUTPUT_NAME ${filename})
  if(ARG_OUTPUT_DIR)
    set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIR})
  endif()
  target_link_options(${target} PRIVATE -Wl,-Bsymbolic -Wl,--no-undefined)
  target_link_libraries(${target} PRIVATE ${ARG_LIBS})
endfunction()

# tw_add_platform_library(<name> SOURCES ... LIBS ...)
#   One shared library of the platform layer (libtw<name>.so), loaded once per process.
function(tw_add_platform_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(tw${name} SHARED ${ARG_SOURCES})
  target_include_directories(tw${name} PUBLIC ${PROJECT_SOURCE_DIR}/platform/include)
  target_link_libraries(tw${name} PUBLIC ${ARG_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  target_link_options(tw${name} PRIVATE -Wl,--no-undefined)
  # The platform converts paths itself; the C runtime's names stay glibc's here,
  # so Qt and std:: members named remove or rename are left alone.
  target_compile_definitions(tw${name} PRIVATE TW_NO_CRT_REDIRECTS)
endfunction()
