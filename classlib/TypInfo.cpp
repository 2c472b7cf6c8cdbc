#include "classlib/TypInfo.h"

#include "ClassLibTexts.h"
#include "classlib/Classes.h"
#include "classlib/internal/TextFormat.h"

namespace {

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

template <class T>
const T* FindNamed(const std::vector<T>& items, std::string_view name) {
    for (const T& item : items)
        if (SameIdentifier(item.Name.view(), name)) return &item;
    return nullptr;
}

}  // namespace

bool SameIdentifier(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    return true;
}

namespace typinfo_detail {
void RaiseInvalidValue(const AnsiString& property) {
    throw EPropertyError(FormatText(ClassLibText::PropertyValueInvalid, {property}));
}
}  // namespace typinfo_detail

bool TPropInfo::IsStored(const TComponent& instance) const {
    if (!StoredInForm || IsReadOnly()) return false;
    const TPropValue value = Get(instance);
    if (Kind == tkMethod) return static_cast<bool>(std::get<TNotifyEvent>(value));
    if (Default) return value != *Default;
    return Kind != tkString || !std::get<AnsiString>(value).IsEmpty();
}

int TPropInfo::EnumOrdinal(std::string_view name) const {
    for (std::size_t i = 0; i < EnumNames.size(); ++i)
        if (SameIdentifier(EnumNames[i].view(), name)) return static_cast<int>(i);
    return -1;
}

TClassInfo::TClassInfo(AnsiString className, const TClassInfo* parent, TCreateComponent create,
                       std::vector<TPropInfo> properties, std::vector<TMethodInfo> methods,
                       std::vector<TFieldInfo> fields)
    : FClassName(std::move(className)),
      FParent(parent),
      FCreate(create),
      FProperties(std::move(properties)),
      FMethods(std::move(methods)),
      FFields(std::move(fields)) {}

bool TClassInfo::InheritsFrom(const TClassInfo& ancestor) const {
    for (const TClassInfo* c = this; c; c = c->FParent)
        if (c == &ancestor) return true;
    return false;
}

std::vector<const TPropInfo*> TClassInfo::Properties() const {
    std::vector<const TPropInfo*> all = FParent ? FParent->Properties() : std::vector<const TPropInfo*>{};
    for (const TPropInfo& own : FProperties) {
        bool replaced = false;
        for (const TPropInfo*& inherited : all) {
            if (SameIdentifier(inherited->Name.view(), own.Name.view())) {
                inherited = &own;
                replaced = true;
                break;
            }
        }
        if (!replaced) all.push_back(&own);
    }
    return all;
}

const TPropInfo* TClassInfo::FindProperty(std::string_view name) const {
    for (const TClassInfo* c = this; c; c = c->FParent)
        if (const TPropInfo* p = FindNamed(c->FProperties, name)) return p;
    return nullptr;
}

const TMethodInfo* TClassInfo::FindMethod(std::string_view name) const {
    for (const TClassInfo* c = this; c; c = c->FParent)
        if (const TMethodInfo* m = FindNamed(c->FMethods, name)) return m;
    return nullptr;
}

const TFieldInfo* TClassInfo::FindField(std::string_view name) const {
    for (const TClassInfo* c = this; c; c = c->FParent)
        if (const TFieldInfo* f = FindNamed(c->FFields, name)) return f;
    return nullptr;
}

AnsiString TClassInfo::MethodName(TComponent& instance, const TNotifyEvent& event) const {
    if (!event) return {};
    for (const TClassInfo* c = this; c; c = c->FParent)
        for (const TMethodInfo& m : c->FMethods)
            if (m.Bind(instance) == event) return m.Name;
    return {};
}

const TClassInfo* TClassInfo::FindFieldClass(std::string_view className) const {
    for (const TClassInfo* c = this; c; c = c->FParent)
        for (const TFieldInfo& f : c->FFields) {
            const TClassInfo& fieldClass = f.FieldClass();
            if (SameIdentifier(fieldClass.ClassName().view(), className)) return &fieldClass;
        }
    return nullptr;
}
