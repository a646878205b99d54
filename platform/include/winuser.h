// Window-system declarations.
#pragma once
#include <windef.h>
