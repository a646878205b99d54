// Defines every GUID that the COM headers declare.
#include <initguid.h>
#include <objbase.h>
