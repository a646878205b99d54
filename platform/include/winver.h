// placeholder
#pragma once
#include <windef.h>
