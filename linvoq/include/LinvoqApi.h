// Export macro of LINVOQ.DLL. Hosts that include the library's headers import its classes.
#pragma once

#ifdef LINVOQ_BUILD
#define LINVOQ_API __declspec(dllexport)
#else
#define LINVOQ_API __declspec(dllimport)
#endif
