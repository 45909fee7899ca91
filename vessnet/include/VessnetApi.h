// Export macro of VESSNET.DLL. Hosts that include the library's headers import its class.
#pragma once

#ifdef VESSNET_BUILD
#define VESSNET_API __declspec(dllexport)
#else
#define VESSNET_API __declspec(dllimport)
#endif
