// Native build: the socket type the service's interfaces name.
#pragma once

#include <cstdint>

#include "windows.h"

typedef std::uintptr_t SOCKET;
#define INVALID_SOCKET (~static_cast<SOCKET>(0))
