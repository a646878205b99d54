# Tests of the GDI part of the gui library. A generator writes the bitmaps and icons
# that the test program embeds as resources.
add_executable(gdi_testimages gdi_testimages.cpp)
set_target_properties(gdi_testimages PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TW_TEST_DIR})
target_link_libraries(gdi_testimages PRIVATE Qt6::Gui)

set(gdi_image_dir ${CMAKE_CURRENT_BINARY_DIR}/gdi_images)
set(gdi_images)
foreach(name rgb24.bmp pal8.bmp pal4.bmp mono.bmp bgrx32.bmp bitfields32.bmp sizes.ico alpha.ico png.ico
             badgroup.bin badimagegroup.bin badicon.bin
             bad0.bin bad1.bin bad2.bin bad3.bin bad4.bin bad5.bin bad6.bin bad7.bin bad8.bin bad9.bin bad10.bin
             bad11.bin bad12.bin)
  list(APPEND gdi_images ${gdi_image_dir}/${name})
endforeach()
add_custom_command(OUTPUT ${gdi_images}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${gdi_image_dir}
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:gdi_testimages> ${gdi_image_dir}
  DEPENDS gdi_testimages
  COMMENT "Writing the GDI test images"
  VERBATIM)

tw_add_test(gui_gdi_tests LABEL platform-gui
  SOURCES gdi_raster_test.cpp gdi_objects_test.cpp gdi_text_test.cpp gdi_resources_test.cpp gdi_paint_test.cpp
  LIBS twgui_testing Qt6::Widgets)
tw_add_resources(gui_gdi_tests gdi_test.rc INCLUDES ${gdi_image_dir} DEPENDS ${gdi_images} gdi_testimages.h)
