// TObject, Exception and the text operations of the class library.
#pragma once

#include "classlib/AnsiString.h"
#include "classlib/ClassLibExport.h"
#include "platform/Cp932.h"

// Root of the class hierarchy; the destructor is its one virtual operation.
class CLASSLIB_API TObject {
public:
    TObject() = default;
    TObject(const TObject&) = default;
    TObject& operator=(const TObject&) = default;
    virtual ~TObject() = default;
};

// The class library's exception: a cp932 message.
class CLASSLIB_API Exception : public TObject {
public:
    explicit Exception(const AnsiString& message) : FMessage(message) {}
    const AnsiString& Message() const { return FMessage; }

private:
    AnsiString FMessage;
};

// Code page 932 lead bytes, the same on every platform.
using plat::IsCp932LeadByte;

// True when the byte at index (from 1) is the second byte of a double-byte
// character, judged from the start of the string.
CLASSLIB_API bool IsTrailByte(const AnsiString& s, int index);

// Upper case of the single-byte letters a-z; double-byte characters are kept
// whole (their trail bytes are never changed).
CLASSLIB_API AnsiString AnsiUpperCase(const AnsiString& s);
CLASSLIB_API AnsiString AnsiLowerCase(const AnsiString& s);

// Position (from 1) of the last byte of s that is one of the single-byte
// delimiters and not a trail byte; 0 when none.
CLASSLIB_API int LastDelimiter(const AnsiString& delimiters, const AnsiString& s);

CLASSLIB_API AnsiString IntToStr(int value);
CLASSLIB_API AnsiString IntToHex(int value, int digits);
