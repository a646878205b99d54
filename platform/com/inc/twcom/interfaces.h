// Which IIDs the runtime's own interfaces answer to, for objects built on the kit.
#pragma once
#include <objidl.h>

#include <twcom/object.h>

TWCOM_INTERFACE(IPersist, IID_IPersist)
TWCOM_INTERFACE(IPersistStream, IID_IPersistStream, IID_IPersist)
TWCOM_INTERFACE(IMoniker, IID_IMoniker, IID_IPersistStream, IID_IPersist)
TWCOM_INTERFACE(IEnumMoniker, IID_IEnumMoniker)
TWCOM_INTERFACE(IBindCtx, IID_IBindCtx)
TWCOM_INTERFACE(IMalloc, IID_IMalloc)
TWCOM_INTERFACE(IRunningObjectTable, IID_IRunningObjectTable)
