# Sources of the GDI part of the gui library (device contexts, bitmaps, brushes,
# raster operations, text, icons and cursors, painting).
set(TW_GUI_GDI_SOURCES
  gdi_table.cpp gdi_dc.cpp gdi_objects.cpp gdi_blt.cpp gdi_text.cpp gdi_dib.cpp gdi_bitmaps.cpp gdi_icons.cpp
  gdi_paint.cpp)
