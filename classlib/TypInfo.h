// Run-time class information of components: the published properties (with
// their defaults and setters), the published methods that events in form
// files name, and the published component fields that a form file fills.
// Each component class describes itself once with TClassBuilder:
//
//   const TClassInfo& TVoPack::StaticClassInfo() {
//       static const TClassInfo info = TClassBuilder<TVoPack>("TVoPack", &TComponent::StaticClassInfo())
//           .Property("ReadOnly", &TVoPack::FReadOnly, &TVoPack::SetReadOnly, true)
//           .Enum("CrcMode", &TVoPack::FCrcMode, &TVoPack::FCrcMode, {"cmNon", "cmPackAll", "cmEachFile"}, cmPackAll)
//           .Property("ProgPercent", &TVoPack::FProgPercent)  // no setter: read-only, never stored
//           .Property("OnProgress", &TVoPack::FOnProgress, &TVoPack::FOnProgress)
//           .Build();
//       return info;
//   }
#pragma once

#include <concepts>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "classlib/AnsiString.h"
#include "classlib/ClassLibExport.h"
#include "classlib/Events.h"
#include "classlib/SysUtils.h"

class TComponent;
class TClassInfo;

// A property value of the wrong kind or out of range, or an assignment to a
// read-only property.
class CLASSLIB_API EPropertyError : public Exception {
public:
    using Exception::Exception;
};

enum TTypeKind { tkBool, tkInteger, tkEnumeration, tkString, tkMethod };

// An enumeration travels as its ordinal.
using TPropValue = std::variant<bool, int, AnsiString, TNotifyEvent>;

struct CLASSLIB_API TPropInfo {
    AnsiString Name;
    TTypeKind Kind = tkInteger;
    std::vector<AnsiString> EnumNames;  // tkEnumeration: the name of each ordinal
    std::optional<TPropValue> Default;  // none: ordinals always stored, strings when not empty
    bool StoredInForm = true;           // false for a property a form file keeps elsewhere (Name)
    std::function<TPropValue(const TComponent&)> Get;
    std::function<void(TComponent&, const TPropValue&)> Set;  // empty for a read-only property

    bool IsReadOnly() const { return !Set; }
    // Whether a form file holds this property of the instance: it must be
    // writable and differ from its default; an event only when assigned.
    bool IsStored(const TComponent& instance) const;
    // The ordinal of an enumerator name (ASCII case ignored), or -1.
    int EnumOrdinal(std::string_view name) const;
};

struct CLASSLIB_API TMethodInfo {
    AnsiString Name;
    std::function<TNotifyEvent(TComponent& instance)> Bind;
};

struct CLASSLIB_API TFieldInfo {
    AnsiString Name;
    const TClassInfo& (*FieldClass)() = nullptr;
    // Stores the component in the instance's field; false when its class does not fit.
    std::function<bool(TComponent& instance, TComponent* value)> Assign;
};

using TCreateComponent = TComponent* (*)(TComponent* owner);

class CLASSLIB_API TClassInfo {
public:
    TClassInfo(AnsiString className, const TClassInfo* parent, TCreateComponent create,
               std::vector<TPropInfo> properties, std::vector<TMethodInfo> methods, std::vector<TFieldInfo> fields);

    const AnsiString& ClassName() const { return FClassName; }
    const TClassInfo* ClassParent() const { return FParent; }
    bool InheritsFrom(const TClassInfo& ancestor) const;

    // Null when the class cannot be created by name (abstract, or no
    // constructor taking the owner).
    TComponent* Create(TComponent* owner) const { return FCreate ? FCreate(owner) : nullptr; }
    bool IsCreatable() const { return FCreate != nullptr; }

    // Every published property, the ancestors' first (Name and Tag lead); a
    // class that redeclares an inherited property replaces it in its place.
    std::vector<const TPropInfo*> Properties() const;
    // Names are compared ignoring ASCII case, as identifiers of form files are.
    const TPropInfo* FindProperty(std::string_view name) const;
    const TMethodInfo* FindMethod(std::string_view name) const;
    const TFieldInfo* FindField(std::string_view name) const;
    // The name of the published method of instance (of this class) that the
    // event is bound to; empty when it is bound to none.
    AnsiString MethodName(TComponent& instance, const TNotifyEvent& event) const;
    // The class of a published component field of this class or an ancestor
    // whose class is called className; null when there is none.
    const TClassInfo* FindFieldClass(std::string_view className) const;

private:
    AnsiString FClassName;
    const TClassInfo* FParent;
    TCreateComponent FCreate;
    std::vector<TPropInfo> FProperties;
    std::vector<TMethodInfo> FMethods;
    std::vector<TFieldInfo> FFields;
};

CLASSLIB_API bool SameIdentifier(std::string_view a, std::string_view b);

namespace typinfo_detail {

template <class G>
struct GetterTraits;
template <class T, class C>
struct GetterTraits<T C::*> {
    using Value = T;
};
template <class R, class C>
struct GetterTraits<R (C::*)() const> {
    using Value = std::remove_cvref_t<R>;
};
template <class R, class C>
struct GetterTraits<R (C::*)() const noexcept> {
    using Value = std::remove_cvref_t<R>;
};

template <class T>
constexpr TTypeKind KindOf() {
    if constexpr (std::is_same_v<T, bool>) return tkBool;
    else if constexpr (std::is_same_v<T, int>) return tkInteger;
    else if constexpr (std::is_enum_v<T>) return tkEnumeration;
    else if constexpr (std::is_same_v<T, AnsiString>) return tkString;
    else {
        static_assert(std::is_same_v<T, TNotifyEvent>, "published properties are bool, int, enum, AnsiString or TNotifyEvent");
        return tkMethod;
    }
}

template <class T>
TPropValue ToValue(const T& value) {
    if constexpr (std::is_enum_v<T>) return TPropValue(std::in_place_type<int>, static_cast<int>(value));
    else return TPropValue(std::in_place_type<T>, value);
}

template <class C, class G>
auto Read(const C& object, G getter) {
    if constexpr (std::is_member_object_pointer_v<G>) return object.*getter;
    else return (object.*getter)();
}

template <class C, class S, class T>
void Write(C& object, S setter, const T& value) {
    if constexpr (std::is_member_object_pointer_v<S>) object.*setter = value;
    else (object.*setter)(value);
}

[[noreturn]] CLASSLIB_API void RaiseInvalidValue(const AnsiString& property);

template <class C>
const C& Cast(const TComponent& instance, const AnsiString& property) {
    auto* object = dynamic_cast<const C*>(&instance);
    if (!object) RaiseInvalidValue(property);
    return *object;
}
template <class C>
C& Cast(TComponent& instance, const AnsiString& property) {
    return const_cast<C&>(Cast<C>(static_cast<const TComponent&>(instance), property));
}

}  // namespace typinfo_detail

template <class C>
class TClassBuilder {
public:
    TClassBuilder(const char* className, const TClassInfo* parent) : FClassName(className), FParent(parent) {}

    // getter: a field (T C::*) or a const member function returning T;
    // setter: a field, a member function taking T, or nullptr (read-only).
    template <class G, class S = std::nullptr_t>
    TClassBuilder& Property(const char* name, G getter, S setter = nullptr) {
        using T = typename typinfo_detail::GetterTraits<G>::Value;
        static_assert(!std::is_enum_v<T>, "use Enum() for enumerations");
        Add<T>(name, getter, setter, {}, std::nullopt);
        return *this;
    }
    template <class G, class S, class D>
    TClassBuilder& Property(const char* name, G getter, S setter, const D& defaultValue) {
        using T = typename typinfo_detail::GetterTraits<G>::Value;
        static_assert(!std::is_enum_v<T>, "use Enum() for enumerations");
        Add<T>(name, getter, setter, {}, typinfo_detail::ToValue(T(defaultValue)));
        return *this;
    }
    template <class G, class S>
    TClassBuilder& Enum(const char* name, G getter, S setter, std::initializer_list<const char*> names) {
        using T = typename typinfo_detail::GetterTraits<G>::Value;
        Add<T>(name, getter, setter, names, std::nullopt);
        return *this;
    }
    template <class G, class S, class E>
    TClassBuilder& Enum(const char* name, G getter, S setter, std::initializer_list<const char*> names, E defaultValue) {
        using T = typename typinfo_detail::GetterTraits<G>::Value;
        Add<T>(name, getter, setter, names, typinfo_detail::ToValue(T(defaultValue)));
        return *this;
    }
    // The property just added lives outside the property list of a form file.
    TClassBuilder& NotStored() {
        if (!FProperties.empty()) FProperties.back().StoredInForm = false;
        return *this;
    }

    // A handler that events in form files may name.
    template <class M>
        requires std::is_base_of_v<M, C>
    TClassBuilder& Method(const char* name, void (M::*method)(TObject*)) {
        FMethods.push_back({AnsiString(name), [method](TComponent& instance) {
                                auto* object = dynamic_cast<C*>(&instance);
                                return object ? TNotifyEvent(object, method) : TNotifyEvent();
                            }});
        return *this;
    }

    // A component field that a form file fills with the component of that name.
    template <class T, class M>
        requires(std::is_base_of_v<M, C> && std::is_base_of_v<TComponent, T>)
    TClassBuilder& Field(const char* name, T* M::*field) {
        FFields.push_back({AnsiString(name), &T::StaticClassInfo, [field](TComponent& instance, TComponent* value) {
                               auto* object = dynamic_cast<C*>(&instance);
                               auto* typed = dynamic_cast<T*>(value);
                               if (!object || (value && !typed)) return false;
                               object->*field = typed;
                               return true;
                           }});
        return *this;
    }

    TClassInfo Build() {
        TCreateComponent create = nullptr;
        if constexpr (!std::is_abstract_v<C> && std::is_constructible_v<C, TComponent*>)
            create = [](TComponent* owner) -> TComponent* { return new C(owner); };
        return TClassInfo(FClassName, FParent, create, std::move(FProperties), std::move(FMethods), std::move(FFields));
    }

private:
    template <class T, class G, class S>
    void Add(const char* name, G getter, S setter, std::initializer_list<const char*> names,
             std::optional<TPropValue> defaultValue) {
        TPropInfo info;
        info.Name = name;
        info.Kind = typinfo_detail::KindOf<T>();
        for (const char* n : names) info.EnumNames.emplace_back(n);
        info.Default = std::move(defaultValue);
        AnsiString propName = info.Name;
        info.Get = [getter, propName](const TComponent& instance) {
            return typinfo_detail::ToValue(T(typinfo_detail::Read(typinfo_detail::Cast<C>(instance, propName), getter)));
        };
        if constexpr (std::is_null_pointer_v<S>) {
            // read-only
        } else if constexpr (std::is_enum_v<T>) {
            const int ordinals = static_cast<int>(names.size());
            info.Set = [setter, propName, ordinals](TComponent& instance, const TPropValue& value) {
                const int* ordinal = std::get_if<int>(&value);
                if (!ordinal || *ordinal < 0 || *ordinal >= ordinals) typinfo_detail::RaiseInvalidValue(propName);
                typinfo_detail::Write(typinfo_detail::Cast<C>(instance, propName), setter, static_cast<T>(*ordinal));
            };
        } else {
            info.Set = [setter, propName](TComponent& instance, const TPropValue& value) {
                const T* typed = std::get_if<T>(&value);
                if (!typed) typinfo_detail::RaiseInvalidValue(propName);
                typinfo_detail::Write(typinfo_detail::Cast<C>(instance, propName), setter, *typed);
            };
        }
        FProperties.push_back(std::move(info));
    }

    AnsiString FClassName;
    const TClassInfo* FParent;
    std::vector<TPropInfo> FProperties;
    std::vector<TMethodInfo> FMethods;
    std::vector<TFieldInfo> FFields;
};
