// The Windows API headers the platform uses, in one place. The HID headers of mingw-w64 carry no
// C++ linkage guard, so they are included inside extern "C".
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

// clang-format off
#include <windows.h>
#include <dbt.h>
#include <setupapi.h>
#include <cfgmgr32.h>
#include <winioctl.h>
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
#include <hidclass.h>
}
// clang-format on
