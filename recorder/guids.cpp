// Defines the GUIDs the recorder uses: the platform's and the filter's.
#include <initguid.h>

#include <control.h>
#include <objidl.h>
#include <qnetwork.h>
#include <strmif.h>
#include <uuids.h>
#include <vmr9.h>
#include <wmsdk.h>

#include "kestrin.h"
#include "recorder.h"
