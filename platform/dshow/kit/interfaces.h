// The IIDs the kit's objects answer to, for the COM object kit's tables.
// Platform-internal: include by path ("kit/interfaces.h" relative to platform/).
#pragma once
#include <strmif.h>
#include <twcom/object.h>

TWCOM_INTERFACE(IPin, IID_IPin)
TWCOM_INTERFACE(IMemInputPin, IID_IMemInputPin)
TWCOM_INTERFACE(IEnumPins, IID_IEnumPins)
TWCOM_INTERFACE(IEnumMediaTypes, IID_IEnumMediaTypes)
TWCOM_INTERFACE(IEnumFilters, IID_IEnumFilters)
TWCOM_INTERFACE(IAMFilterMiscFlags, IID_IAMFilterMiscFlags)
TWCOM_INTERFACE(IMediaSeeking, IID_IMediaSeeking)
