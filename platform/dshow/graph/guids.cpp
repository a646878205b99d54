// Definitions of the graph-control interface identifiers (weak, like every other
// definition of platform identifiers).
#include <initguid.h>

#include <control.h>
