#include <algorithm>

#include "ClassLibTexts.h"
#include "classlib/Classes.h"
#include "classlib/internal/TextFormat.h"

namespace {

bool IsIdentifier(std::string_view name) {
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (name.empty() || !letter(name[0])) return false;
    return std::all_of(name.begin(), name.end(), [&](char c) { return letter(c) || (c >= '0' && c <= '9'); });
}

}  // namespace

const TClassInfo& TComponent::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TComponent>("TComponent", nullptr)
                                       .Property("Name", &TComponent::Name, &TComponent::SetName)
                                       .NotStored()  // a form file keeps it in the object line
                                       .Property("Tag", &TComponent::Tag, &TComponent::SetTag, 0)
                                       .Build();
    return info;
}

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    FComponentState << csDestroying;
    DestroyComponents();
    if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        TComponent* last = FComponents.back();
        FComponents.pop_back();
        last->FOwner = nullptr;
        delete last;
    }
}

void TComponent::SetName(const AnsiString& name) {
    if (name == FName) return;
    if (FOwner) FOwner->ValidateRename(this, name);
    else if (!name.IsEmpty() && !IsIdentifier(name.view()))
        throw EComponentError(FormatText(ClassLibText::InvalidName, {name}));
    FName = name;
}

void TComponent::ValidateRename(const TComponent* component, const AnsiString& name) const {
    if (name.IsEmpty()) return;
    if (!IsIdentifier(name.view())) throw EComponentError(FormatText(ClassLibText::InvalidName, {name}));
    TComponent* holder = FindComponent(name.view());
    if (holder && holder != component) throw EComponentError(FormatText(ClassLibText::DuplicateName, {name}));
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount()) return nullptr;
    return FComponents[std::size_t(index)];
}

TComponent* TComponent::FindComponent(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : FComponents)
        if (SameIdentifier(c->FName.view(), name)) return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
    if (!component || component->FOwner == this) return;
    for (const TComponent* o = this; o; o = o->FOwner)
        if (o == component) throw EComponentError(ClassLibText::CircularOwner);
    ValidateRename(component, component->FName);
    if (component->FOwner) component->FOwner->RemoveComponent(component);
    FComponents.push_back(component);
    component->FOwner = this;
    Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    auto at = std::find(FComponents.begin(), FComponents.end(), component);
    if (at == FComponents.end()) return;
    FComponents.erase(at);
    component->FOwner = nullptr;
    Notification(component, opRemove);
}

void TComponent::Loaded() { FComponentState >> csLoading; }
