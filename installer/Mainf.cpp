#include "installer/Mainf.h"

#include <cstring>

#include "SetupTexts.h"
#include "classlib/Forms.h"
#include "installer/Paths.h"
#include "platform/Platform.h"
#include "quorvan/Quorvan.h"

TMainForm* MainForm = nullptr;

namespace {

constexpr const char* kRuntimeFiles[] = {SetupText::RuntimeFile0, SetupText::RuntimeFile1, SetupText::RuntimeFile2};
constexpr unsigned kDirectoryBufferSize = 260;

// A directory as an API of the GetSystemDirectoryA kind left it in buffer,
// completed with "\"; false when the call failed or the path did not fit.
bool DirectoryFromBuffer(unsigned result, const char* buffer, AnsiString& directory) {
    if (result == 0 || result >= kDirectoryBufferSize) return false;
    directory = AddTrailingBackslash(AnsiString(buffer, static_cast<int>(strnlen(buffer, result))));
    return true;
}

}  // namespace

const TClassInfo& TMainForm::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TMainForm>("TMainForm", &TForm::StaticClassInfo())
                                       .Field("Label1", &TMainForm::Label1)
                                       .Field("Label2", &TMainForm::Label2)
                                       .Field("Label3", &TMainForm::Label3)
                                       .Field("BitBtn1", &TMainForm::BitBtn1)
                                       .Field("BitBtn2", &TMainForm::BitBtn2)
                                       .Method("BitBtn1Click", &TMainForm::BitBtn1Click)
                                       .Method("BitBtn2Click", &TMainForm::BitBtn2Click)
                                       .Build();
    return info;
}

// Read here rather than in TForm: only now is the object a TMainForm, with
// the published fields and handlers the form resource names.
TMainForm::TMainForm(TComponent* owner) : TForm(owner) { ReadFormResource(); }

unsigned TMainForm::ReadSystemDirectory(char* buffer, unsigned size) { return plat::GetSystemDirectoryA(buffer, size); }

unsigned TMainForm::ReadCurrentDirectory(char* buffer, unsigned size) {
    return plat::GetCurrentDirectoryA(size, buffer);
}

void TMainForm::BitBtn1Click(TObject*) {
    char systemBuffer[kDirectoryBufferSize] = {};
    char currentBuffer[kDirectoryBufferSize] = {};
    AnsiString systemDirectory;
    AnsiString sourceDirectory;
    // Without both directories nothing can be installed.
    const char* failure = nullptr;
    if (!DirectoryFromBuffer(ReadSystemDirectory(systemBuffer, kDirectoryBufferSize), systemBuffer, systemDirectory))
        failure = SetupText::SystemDirectoryFailed;
    else if (!DirectoryFromBuffer(ReadCurrentDirectory(currentBuffer, kDirectoryBufferSize), currentBuffer,
                                  sourceDirectory))
        failure = SetupText::CurrentDirectoryFailed;
    if (failure) {
        Application->MessageBox(failure, SetupText::CaptionError, int(plat::MB_OK | plat::MB_ICONEXCLAMATION));
        Close();
        return;
    }

    bool allInstalled = true;
    for (const char* name : kRuntimeFiles)
        if (!InstallFile(sourceDirectory + name, systemDirectory + name)) allInstalled = false;

    Application->MessageBox(allInstalled ? SetupText::AllInstalled : SetupText::SomeNotInstalled,
                            SetupText::CaptionFinished, int(plat::MB_OK));
    Close();
}

void TMainForm::BitBtn2Click(TObject*) { Close(); }

bool TMainForm::InstallFile(AnsiString Source, AnsiString Dest) {
    const AnsiString name = FileNamePart(Source);
    if (!FileIsExist(Source.c_str())) {
        Application->MessageBox(name + SetupText::SourceMissingSuffix, SetupText::CaptionError,
                                int(plat::MB_OK | plat::MB_ICONEXCLAMATION));
        return false;
    }
    if (FileIsExist(Dest.c_str())) {
        plat::FILETIME sourceTime;
        plat::FILETIME destTime;
        ReadLastWriteTime(Source, &sourceTime);
        ReadLastWriteTime(Dest, &destTime);
        const plat::LONG order = plat::CompareFileTime(&destTime, &sourceTime);
        // Only overwriting an older file is offered as the default.
        const char* prefix = order < 0 ? SetupText::OlderPrefix : order == 0 ? SetupText::SamePrefix : SetupText::NewerPrefix;
        const plat::UINT flags = order < 0 ? plat::MB_OKCANCEL : plat::MB_OKCANCEL | plat::MB_DEFBUTTON2;
        const AnsiString question = AnsiString(prefix) + name + SetupText::OverwriteSuffix;
        if (Application->MessageBox(question, SetupText::CaptionConfirm, int(flags)) == plat::IDCANCEL) return true;
    }
    if (plat::CopyFileA(Source.c_str(), Dest.c_str(), plat::FALSE)) return true;
    Application->MessageBox(name + SetupText::CopyFailedSuffix, SetupText::CaptionError,
                            int(plat::MB_OK | plat::MB_ICONEXCLAMATION));
    return false;
}

void TMainForm::ReadLastWriteTime(AnsiString Path, plat::FILETIME* Time) {
    if (!Time) return;
    Time->dwLowDateTime = 0;
    Time->dwHighDateTime = 0;
    plat::HANDLE file = plat::CreateFileA(Path.c_str(), plat::GENERIC_READ, plat::FILE_SHARE_READ, nullptr,
                                          plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == plat::INVALID_HANDLE_VALUE) return;
    plat::GetFileTime(file, nullptr, nullptr, Time);
    plat::CloseHandle(file);
}
