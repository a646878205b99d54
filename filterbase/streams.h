// The filter framework: include this for everything.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <strmif.h>
#include <uuids.h>
#include <evcode.h>
#include <vfwmsgs.h>

#include "combase.h"
#include "classfactory.h"
#include "registration.h"
#include "mediatype.h"
#include "enumerators.h"
#include "basefilter.h"
#include "basepin.h"
#include "inputpin.h"
