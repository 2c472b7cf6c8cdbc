// Export macro of the class library. On Windows the public classes are
// exported by name from the executable that links them; elsewhere they keep
// default visibility.
#pragma once

#if defined(_WIN32)
#define CLASSLIB_API __declspec(dllexport)
#else
#define CLASSLIB_API __attribute__((visibility("default")))
#endif
