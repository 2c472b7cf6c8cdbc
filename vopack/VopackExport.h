// Export macro of the pack unit. On Windows the public classes are exported
// by name from the executable that links them; elsewhere they keep default
// visibility.
#pragma once

#if defined(_WIN32)
#define VOPACK_API __declspec(dllexport)
#else
#define VOPACK_API __attribute__((visibility("default")))
#endif
