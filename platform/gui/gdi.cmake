# Sources of the GDI part of the gui library (device contexts, bitmaps, brushes,
# raster operations, text, icons and cursors, painting).
set(TW_GUI_GDI_SOURCES)
