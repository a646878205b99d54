// Defines the identifiers of the Windows Media Format headers (weak, like every
// platform GUID, so that other modules may define them too).
#include <initguid.h>
#include <unknwn.h>
#include <wmsdkidl.h>
