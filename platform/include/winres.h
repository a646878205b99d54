// What resource scripts include: the constants of VERSIONINFO blocks (and, as they
// are added, of menus and dialogs). Only preprocessor definitions reach the
// resource compiler; declarations in the shared headers sit under #ifndef RC_INVOKED.
#pragma once
#include <winver.h>
