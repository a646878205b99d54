// Definitions of the DirectShow interface, class and media type identifiers.
#include <initguid.h>
#include <strmif.h>
#include <qnetwork.h>
#include <uuids.h>
#include <vmr9.h>
