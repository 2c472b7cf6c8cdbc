// TVoPack as a component: its class information with the published
// properties, Loaded, the name properties with their open and close
// wrappers, and the palette registration.
#include "vopack/VoPack.h"

const TClassInfo& TVoPack::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TVoPack>("TVoPack", &TComponent::StaticClassInfo())
        .Property("ReadOnly", &TVoPack::FReadOnly, &TVoPack::SetReadOnly, true)
        .Enum("CrcMode", &TVoPack::FCrcMode, &TVoPack::FCrcMode, {"cmNon", "cmPackAll", "cmEachFile"}, cmPackAll)
        .Property("ProgPercent", &TVoPack::FProgPercent)
        .Property("OnProgress", &TVoPack::FOnProgress, &TVoPack::FOnProgress)
        .Build();
    return info;
}

void TVoPack::Loaded() { TComponent::Loaded(); }

void TVoPack::SetReadOnly(bool value) {
    if (!FPackStream) FReadOnly = value;
}

bool TVoPack::OpenPack(const AnsiString& name) {
    if (name.IsEmpty()) {
        ClosePack();
        return true;
    }
    return LoadPack(name.c_str());
}

void TVoPack::ClosePack() {
    if (FPackStream) EndPack();
}

bool TVoPack::OpenFile(const AnsiString& name) {
    delete FFileStream;
    FFileStream = nullptr;
    FFileName = name;
    if (name.IsEmpty()) return true;
    FFileStream = VoMakeStream(FFileName.c_str());
    if (FFileStream) return true;
    FFileName = AnsiString();
    return false;
}

void TVoPack::CloseFile() {
    if (!FFileStream) return;
    delete FFileStream;
    FFileStream = nullptr;
    FFileName = AnsiString();
}

void TVoPack::SetPackName(const AnsiString& value) { OpenPack(value); }

void TVoPack::SetFileName(const AnsiString& value) { OpenFile(value); }

namespace Vopack {

void Register() { RegisterComponents("Quorvan", {&TVoPack::StaticClassInfo()}); }

}  // namespace Vopack
