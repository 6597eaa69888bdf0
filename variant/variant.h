#pragma once
// The OLE Automation value type. On Windows the real oleaut32; on the host a stand-in
// of our own with the same names, layout and type codes (variant/standin.h).
#ifdef _WIN32
#include <windows.h>
#include <oleauto.h>
#else
#include "variant/standin.h"
#endif
