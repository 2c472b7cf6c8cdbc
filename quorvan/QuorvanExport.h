// Export macro of the utility unit. On Windows the unit's public classes and
// functions are exported by name from the executable that links them;
// elsewhere they keep default visibility.
#pragma once

#if defined(_WIN32)
#define QUORVAN_API __declspec(dllexport)
#else
#define QUORVAN_API __attribute__((visibility("default")))
#endif

// Lets the compiler check Ansiprintf's arguments against its format. The
// mingw C++ runtime formats with its C99 printf, hence gnu_printf there.
#if defined(__MINGW32__)
#define QUORVAN_PRINTF_FORMAT(format_index, first_arg) __attribute__((format(gnu_printf, format_index, first_arg)))
#elif defined(__GNUC__)
#define QUORVAN_PRINTF_FORMAT(format_index, first_arg) __attribute__((format(printf, format_index, first_arg)))
#else
#define QUORVAN_PRINTF_FORMAT(format_index, first_arg)
#endif
