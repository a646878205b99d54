// The test modules carry only resources; this file gives them a linker to link with.
