// The one place where the product meets the platform. The Windows builds use the SDK headers;
// the native build uses the simulated desktop's declarations, which carry the same names.
#ifndef TAVIX_COMMON_WIN32_H
#define TAVIX_COMMON_WIN32_H

#ifdef _WIN32
#include <windows.h>
#include <shlwapi.h>
#include <shlobj.h>
#include <exdisp.h>
#include <shobjidl.h>
#include <tlhelp32.h>
#else
#include "sim_win32.h"
#endif

// A wide (UTF-16) text literal: L"..." on Windows, where WCHAR is wchar_t; u"..." in the native
// build, where wchar_t is 32 bits wide and WCHAR is char16_t.
#ifdef _WIN32
#define WTEXT(text) L##text
#else
#define WTEXT(text) u##text
#endif

#endif
