// Definitions of the decoders' class identifiers.
#include <initguid.h>
#include <wmcodecdsp.h>
