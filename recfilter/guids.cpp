// Defines the GUIDs this module uses: the platform's and the filter's own.
#include <initguid.h>

#include <strmif.h>
#include <uuids.h>
#include <wmsdk.h>

#include "kestrin.h"
