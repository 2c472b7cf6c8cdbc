#include "installer/Paths.h"

#include "classlib/SysUtils.h"

AnsiString AddTrailingBackslash(const AnsiString& directory) {
    const int last = directory.Length();
    if (last > 0 && directory[last] == '\\' && !IsTrailByte(directory, last)) return directory;
    return directory + "\\";
}

AnsiString FileNamePart(const AnsiString& path) {
    const int separator = LastDelimiter("\\:", path);
    return path.SubString(separator + 1, path.Length() - separator);
}
