#pragma once
// <windows.h> as every Windows piece of the console includes it: without its min and max macros,
// which would break std::min and std::max. Nothing on other systems.
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
