// The Windows base types every layer uses: the SDK's own on Windows, our substitute elsewhere.
// The one way in to them: the framework, joystick access and the hosts all include this header.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include "platform/compat/windef.h"
#endif
