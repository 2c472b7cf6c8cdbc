// Streams of bytes: TStream and its file and memory kinds, with the
// exceptions the class library raises for them. Sizes and positions are
// signed 32-bit: no stream grows to 2 GiB or beyond; an operation that would
// is refused (a short count, -1, or an exception where one is documented).
#pragma once

#include <climits>
#include <vector>

#include "classlib/AnsiString.h"
#include "classlib/ClassLibExport.h"
#include "classlib/SysUtils.h"
#include "platform/PlatformTypes.h"

class CLASSLIB_API EStreamError : public Exception {
public:
    using Exception::Exception;
};
class CLASSLIB_API EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class CLASSLIB_API EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
// Reading and writing of buffers and form files.
class CLASSLIB_API EFilerError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class CLASSLIB_API EReadError : public EFilerError {
public:
    using EFilerError::EFilerError;
};
class CLASSLIB_API EWriteError : public EFilerError {
public:
    using EFilerError::EFilerError;
};

// Seek origins.
inline constexpr int soFromBeginning = 0;
inline constexpr int soFromCurrent = 1;
inline constexpr int soFromEnd = 2;

// The largest size and position a stream may have.
inline constexpr int kMaxStreamSize = INT_MAX;

class CLASSLIB_API TStream : public TObject {
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Up to count bytes from the position; returns how many were read (0 at
    // the end, on failure, or for a negative count or null buffer).
    virtual int Read(void* buffer, int count) = 0;
    // Up to count bytes at the position; returns how many were written.
    virtual int Write(const void* buffer, int count) = 0;
    // Moves the position to origin + offset and returns the new position. A
    // target before 0 or beyond kMaxStreamSize, or an unknown origin, returns
    // -1 and leaves the position where it was. Positions beyond the end are
    // allowed; a write there fills the gap with zero bytes.
    virtual int Seek(int offset, int origin) = 0;

    int Position() { return Seek(0, soFromCurrent); }
    void SetPosition(int position) { Seek(position, soFromBeginning); }
    virtual int Size();
    // Truncates or extends (with zero bytes); the position is kept, or moved
    // to the new end when it was beyond. Raises EStreamError on failure.
    virtual void SetSize(int newSize);

    // Exactly count bytes, or EReadError / EWriteError.
    void ReadBuffer(void* buffer, int count);
    void WriteBuffer(const void* buffer, int count);
    // Copies count bytes from the source's position (count 0: the whole
    // source, from its start) and returns the count; raises EReadError or
    // EWriteError when the bytes cannot all be moved.
    int CopyFrom(TStream& source, int count);
};

// File modes: one access mode or'ed with one share mode, or fmCreate alone.
inline constexpr unsigned short fmCreate = 0xFFFF;  // create or empty; read-write, shared with nobody
inline constexpr unsigned short fmOpenRead = 0x0000;
inline constexpr unsigned short fmOpenWrite = 0x0001;
inline constexpr unsigned short fmOpenReadWrite = 0x0002;
inline constexpr unsigned short fmShareCompat = 0x0000;  // as fmShareExclusive
inline constexpr unsigned short fmShareExclusive = 0x0010;
inline constexpr unsigned short fmShareDenyWrite = 0x0020;
inline constexpr unsigned short fmShareDenyRead = 0x0030;
inline constexpr unsigned short fmShareDenyNone = 0x0040;

// A file opened through the platform layer, so share modes hold alike on
// both builds. The constructor raises EFCreateError (fmCreate) or EFOpenError
// with a cp932 message naming the file when it cannot create or open it, when
// the mode is not one of the above, or when the file is 2 GiB or larger.
class CLASSLIB_API TFileStream : public TStream {
public:
    TFileStream(const AnsiString& fileName, unsigned short mode);
    ~TFileStream() override;

    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    int Seek(int offset, int origin) override;
    int Size() override;
    void SetSize(int newSize) override;

    const AnsiString& FileName() const { return FFileName; }
    plat::HANDLE Handle() const { return FHandle; }

private:
    AnsiString FFileName;
    plat::HANDLE FHandle;
};

// Bytes in memory. Memory() is valid until the next change of size.
class CLASSLIB_API TMemoryStream : public TStream {
public:
    TMemoryStream() = default;

    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    int Seek(int offset, int origin) override;
    int Size() override { return static_cast<int>(FData.size()); }
    void SetSize(int newSize) override;

    void* Memory() { return FData.empty() ? nullptr : FData.data(); }
    const void* Memory() const { return FData.empty() ? nullptr : FData.data(); }
    void Clear();

    // The whole of the stream from its start (or of the file), replacing the
    // contents; the position is 0 afterwards. On failure the exception passes
    // through and the contents are as before.
    void LoadFromStream(TStream& stream);
    void LoadFromFile(const AnsiString& fileName);
    // The contents, written at the stream's position (or into a new file).
    void SaveToStream(TStream& stream) const;
    void SaveToFile(const AnsiString& fileName) const;

private:
    std::vector<unsigned char> FData;
    int FPosition = 0;
};
