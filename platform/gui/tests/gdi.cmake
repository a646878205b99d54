# Tests of the GDI part of the gui library.
