// Quorvan: the utility unit.
//
// File and shell helpers, memory-status queries, text helpers for code page
// 932 (Shift-JIS) byte text, a cyclic counter and a pseudo-random generator.
// Every text is a sequence of cp932 bytes. No function raises; failures are
// results (false, an empty text, -1, 0) or, for VoFileExec only, a message
// box. Nothing keeps state between calls except the two value classes.
#pragma once

#include <cstdint>

#include "classlib/AnsiString.h"
#include "quorvan/QuorvanExport.h"

/*-************************************
 *  File and shell helpers
 **************************************/

/* FileIsExist() :
 * Needs : `path`, a zero-terminated cp932 path; it is only read.
 * Returns true only for an existing file that is not a directory.
 * Returns false for a missing file, a directory, a drive without a medium,
 * a null path, and a path of 128 characters or more (the limit of the
 * platform's OpenFile).
 * Shows no system error box: the process error mode is set to 0x8001 for the
 * length of the call and restored on every path, so other threads see the
 * changed mode meanwhile. */
QUORVAN_API bool FileIsExist(char* path);
inline bool FileIsExist(const char* path) { return FileIsExist(const_cast<char*>(path)); }

/* VoFileExec() :
 * Opens `path` with its associated program, or runs it if it is a program,
 * through the shell, with the path's directory part as working directory:
 * X:\dir\a.txt runs in X:\dir, X:\a.txt in X:\, X:a.txt in X:, a bare name in
 * the current directory. "\" and ":" count only as whole cp932 characters.
 * Needs the application object (`Application`): its window owns the shell
 * call and the error box.
 * An empty path does nothing. On failure (shell result 32 or less) it shows a
 * Japanese text for the code in a modal box, caption "エラー", flags
 * MB_OK | MB_ICONSTOP; codes without a text of their own show "不明なエラー".
 * The caller learns nothing of the outcome. Belongs on the UI thread. */
QUORVAN_API void VoFileExec(AnsiString path);

/*-************************************
 *  Memory status
 **************************************/

/* Each query reads the platform's 32-bit memory-status record anew and
 * returns one field, a count of bytes, unchanged; a count that does not fit
 * 32 bits is whatever the platform puts there. They cannot fail. */
QUORVAN_API unsigned int TotalPhysicalMemory();
QUORVAN_API unsigned int AvailPhysicalMemory();
QUORVAN_API unsigned int TotalVirtualMemory();
QUORVAN_API unsigned int AvailVirtualMemory();

/*-************************************
 *  Text helpers
 **************************************/

/* hstrncpy() :
 * Copies one field of `src` into `dest`: at most `n` bytes, never half of a
 * double-byte character, then a terminating zero. Returns `dest`.
 * Needs : `dest` holding n + 1 bytes; `src` zero-terminated.
 * Stops, without copying the stop byte, at a carriage return (0x0D), at ","
 * when `stopAtComma` is true, at the terminator, or when the next character
 * does not fit in n bytes. Stop bytes count only where a character starts.
 * Its own lead-byte rule: 0x80-0x9F and 0xE0-0xEF start a double-byte
 * character (this is not cp932's rule). A lead byte right before the
 * terminator is not copied: the copy ends at the terminator.
 * Null `dest` or `src`: nothing is read or written; returns `dest`. */
QUORVAN_API char* hstrncpy(char* dest, const char* src, unsigned int n, bool stopAtComma);

/* Ansiprintf() :
 * Formats the arguments by `format` (the conversions of the C library's
 * printf) and returns the text.
 * The text is made in a buffer of 1024 bytes: output longer than 1023 bytes
 * is cut after byte 1023 (possibly inside a double-byte character); nothing
 * is written beyond the buffer. A null format or a formatting error gives an
 * empty text. */
QUORVAN_API AnsiString Ansiprintf(char* format, ...) QUORVAN_PRINTF_FORMAT(1, 2);
QUORVAN_API AnsiString Ansiprintf(const char* format, ...) QUORVAN_PRINTF_FORMAT(1, 2);

/* SeparateString() :
 * Splits `text` at line feeds (0x0A) into `lines[0]` .. `lines[count - 1]`:
 * each entry gets one line without its line feed (a carriage return before
 * the line feed stays); entries beyond the last line become empty; lines
 * beyond `count` are dropped.
 * Needs : `lines` holding at least `count` entries. A count of 0 or less, or
 * a null array, writes nothing. */
QUORVAN_API void SeparateString(AnsiString text, AnsiString* lines, int count);

/* HexToInt() :
 * Reads the first 8 bytes of `text` as hexadecimal digits, most significant
 * first, a to f like A to F, and returns the 32-bit pattern as an int
 * (FFFFFFFF gives -1). A byte that is not a digit takes a digit place with
 * the value 0 ("1G" gives 16, "0x1F" gives 31); bytes beyond the eighth are
 * ignored; the empty text gives 0. There is no sign, prefix or white space
 * handling and no error result. */
QUORVAN_API int HexToInt(AnsiString text);

/*-************************************
 *  TCounter : cyclic counter
 **************************************/

/* Counts from 0 up to one below its maximum, reports when it wraps, and stops
 * at 0 when counted down. Holds the maximum (at least 1), the step (0 to the
 * maximum) and the count. No operation fails.
 * Sums are exact: a sum beyond the 32-bit range, reachable only after the
 * count has left 0 .. maximum, is clamped to that range. */
class QUORVAN_API TCounter {
public:
    TCounter();                          // maximum 9999, step 1, count 0
    explicit TCounter(int maxVal);       // maximum max(maxVal, 1), step 1
    TCounter(int maxVal, int addVal);    // step min(max(addVal, 0), maximum)
    TCounter(const TCounter& other) = default;
    TCounter& operator=(const TCounter& other) = default;

    // Maximum = max(v, 1); then step = min(step, maximum) and
    // count = min(count, maximum - 1). The count gets no lower bound.
    void SetMaxVal(int v);
    // Step = min(max(v, 0), maximum).
    void SetAddVal(int v);
    // Count = min(v, maximum): the maximum itself is accepted; no lower bound.
    void SetCount(int v);

    int GetMaxVal() const { return FMaxVal; }
    int GetAddVal() const { return FAddVal; }
    int GetCount() const { return FCount; }

    // Count += v. When the count reaches the maximum, the maximum is taken
    // off once and the result is true; otherwise false.
    bool AddVal(int v);
    // Count -= v. When the count goes below 0 it becomes 0 and the result is
    // true; otherwise false. Counting down does not wrap.
    bool SubVal(int v);
    bool IncVal() { return AddVal(FAddVal); }
    bool DecVal() { return SubVal(FAddVal); }
    bool IsZero() const { return FCount == 0; }

private:
    int FMaxVal;
    int FAddVal;
    int FCount;
};
static_assert(sizeof(TCounter) == 12, "TCounter holds three 32-bit integers");

/*-************************************
 *  TRandom : pseudo-random generator
 **************************************/

/* An additive lagged Fibonacci generator of 16-bit values (lags 32 and 7),
 * started from a fixed table of Fibonacci numbers: every new generator yields
 * the same sequence, and a copy continues the sequence of the generator it
 * was copied from. Its whole state is 72 bytes. Not for cryptography. */
class QUORVAN_API TRandom {
public:
    TRandom();
    TRandom(const TRandom& other) = default;
    TRandom& operator=(const TRandom& other) = default;

    // The next raw value, 0 to 65535. The first ten of a new generator are
    // 41491, 65347, 55669, 55480, 45613, 35557, 15634, 41512, 65381, 55724.
    std::uint16_t Rnd();
    // A value in 0 .. n - 1, drawn by rejection over the smallest bit mask
    // covering n - 1, so at least one Rnd value is used. Results stay below
    // 65536 whatever n. Returns -1 for n < 1, without drawing.
    int Random(int n);
    // A value in -n .. n, bell-shaped around 0: the sum of three Rnd values,
    // scaled. Returns 0 for n outside 1 .. 4096, without drawing.
    int NormalDistribution(int n);

private:
    std::uint16_t FState[32];
    std::int32_t FWriteIndex;
    std::int32_t FPartnerIndex;
};
static_assert(sizeof(TRandom) == 72, "TRandom: 32 16-bit words and two 32-bit indices");
