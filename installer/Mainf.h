// TMainForm: the installer's one dialog. It says which run-time files will be
// installed into the system folder and asks for confirmation; OK installs
// them one after the other and closes the dialog, Cancel closes it at once.
#pragma once

#include "classlib/AnsiString.h"
#include "classlib/gui/Buttons.h"
#include "classlib/gui/CustomForm.h"
#include "classlib/gui/StdCtrls.h"
#include "platform/PlatformTypes.h"

class TMainForm : public TForm {
public:
    // Reads the layout, the controls and their handlers from the form
    // resource TMAINFORM.
    explicit TMainForm(TComponent* owner);

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

    // Published: filled by the form reader.
    TLabel* Label1 = nullptr;
    TLabel* Label2 = nullptr;
    TLabel* Label3 = nullptr;
    TBitBtn* BitBtn1 = nullptr;
    TBitBtn* BitBtn2 = nullptr;

    // OK: installs the three run-time files from the current directory into
    // the system directory, shows the closing message and closes the dialog.
    // When either directory cannot be read, shows why, installs nothing and
    // closes the dialog.
    void BitBtn1Click(TObject* Sender);
    // Cancel: closes the dialog; nothing is installed.
    void BitBtn2Click(TObject* Sender);

    // Copies Source over Dest, asking first when Dest exists (telling whether
    // it is older, as old or newer). True when the file was copied or the
    // user declined to overwrite it; false when the source is missing or the
    // copy failed, after the matching error box. The OK handler calls it once
    // per file; overridable, so the handler's loop can be watched.
    virtual bool InstallFile(AnsiString Source, AnsiString Dest);
    // The file's last-write time, or zero when the file cannot be opened for
    // reading (by us, sharing reading with others).
    void ReadLastWriteTime(AnsiString Path, plat::FILETIME* Time);

protected:
    // Where the OK handler gets its directories, with the contract of
    // GetSystemDirectoryA and GetCurrentDirectoryA: the length written, the
    // size needed when the buffer is too small, or 0 on failure.
    virtual unsigned ReadSystemDirectory(char* buffer, unsigned size);
    virtual unsigned ReadCurrentDirectory(char* buffer, unsigned size);
};

extern TMainForm* MainForm;
