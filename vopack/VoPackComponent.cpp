// TVoPack as a component: its class information with the published
// properties, Loaded and the ReadOnly setter.
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
