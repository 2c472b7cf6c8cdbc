// Components and their persistence: TComponent (ownership, Name, Tag,
// Loaded), the class registry, the designer's palette (RegisterComponents)
// and the text form files; with the streams they are read from and written to.
#pragma once

#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

#include "classlib/AnsiString.h"
#include "classlib/ClassLibExport.h"
#include "classlib/Events.h"
#include "classlib/Streams.h"
#include "classlib/SysUtils.h"
#include "classlib/TypInfo.h"

// Invalid or duplicate names, ownership cycles, class registry conflicts.
class CLASSLIB_API EComponentError : public Exception {
public:
    using Exception::Exception;
};
// A form file names a class that is not registered.
class CLASSLIB_API EClassNotFound : public EFilerError {
public:
    using EFilerError::EFilerError;
};

enum TComponentStateItem { csLoading, csReading, csDestroying };
enum TOperation { opInsert, opRemove };

class TComponentState {
public:
    bool Contains(TComponentStateItem item) const { return (FBits & Bit(item)) != 0; }
    TComponentState& operator<<(TComponentStateItem item) {
        FBits |= Bit(item);
        return *this;
    }
    TComponentState& operator>>(TComponentStateItem item) {
        FBits &= ~Bit(item);
        return *this;
    }
    bool Empty() const { return FBits == 0; }

private:
    static unsigned Bit(TComponentStateItem item) { return 1u << item; }
    unsigned FBits = 0;
};

// A component is owned by at most one owner, which destroys the components it
// owns (the last inserted first) when it is destroyed itself.
class CLASSLIB_API TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    static const TClassInfo& StaticClassInfo();
    // Every class with a class info of its own overrides this.
    virtual const TClassInfo& ClassInfo() const { return StaticClassInfo(); }
    const AnsiString& ClassName() const { return ClassInfo().ClassName(); }

    TComponent* Owner() const { return FOwner; }
    const AnsiString& Name() const { return FName; }
    // An identifier (letters, digits, "_"; not starting with a digit) unique
    // among the owner's components ignoring ASCII case, or empty; raises
    // EComponentError otherwise.
    virtual void SetName(const AnsiString& name);
    int Tag() const { return FTag; }
    void SetTag(int tag) { FTag = tag; }

    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    // In order of insertion; null when index is out of range.
    TComponent* Components(int index) const;
    // ASCII case ignored; null when none or name is empty.
    TComponent* FindComponent(std::string_view name) const;
    // Takes ownership (from a previous owner, if any). Raises EComponentError
    // when the name is taken or the component would own itself.
    void InsertComponent(TComponent* component);
    // Gives up ownership; the caller then destroys the component.
    void RemoveComponent(TComponent* component);
    // Destroys the owned components now, the last inserted first. A class
    // whose components' destructors may call back into it (events bound to
    // its methods) calls this from its own destructor.
    void DestroyComponents();

    const TComponentState& ComponentState() const { return FComponentState; }

    // Called once a form file has set all properties of this component and
    // created all components it holds; ends the csLoading state.
    virtual void Loaded();

protected:
    // Told when this component gains or loses an owned component.
    virtual void Notification(TComponent* /*component*/, TOperation /*operation*/) {}

    TComponentState FComponentState;

private:
    friend class TFormTextReader;

    void ValidateRename(const TComponent* component, const AnsiString& name) const;

    TComponent* FOwner = nullptr;
    AnsiString FName;
    int FTag = 0;
    std::vector<TComponent*> FComponents;
};

using TComponentClass = const TClassInfo*;

// The class registry, through which form files create components by class
// name. Registering the same class again does nothing; another class of an
// already registered name raises EComponentError.
CLASSLIB_API void RegisterClass(const TClassInfo& componentClass);
// Null when no class of that name is registered (ASCII case ignored).
CLASSLIB_API const TClassInfo* GetClass(std::string_view className);
// As GetClass, raising EClassNotFound instead of returning null.
CLASSLIB_API const TClassInfo& FindClass(std::string_view className);

// Registers the classes and puts them on a page of the designer's palette,
// each class once per page, in order of registration. A null class raises
// EComponentError and registers nothing.
CLASSLIB_API void RegisterComponents(const AnsiString& page, std::span<const TComponentClass> classes);
inline void RegisterComponents(const AnsiString& page, std::initializer_list<TComponentClass> classes) {
    RegisterComponents(page, std::span<const TComponentClass>(classes.begin(), classes.size()));
}
// The palette pages in order of their first registration.
CLASSLIB_API std::vector<AnsiString> PalettePages();
// The class names on a page (ASCII case of the page name matters); empty
// for an unknown page.
CLASSLIB_API std::vector<AnsiString> PaletteClassNames(const AnsiString& page);

// Text form files:
//
//   object MainForm: TMainForm
//     Tag = 3
//     object VoPack1: TVoPack
//       ReadOnly = False
//       OnProgress = PackProgress
//     end
//   end
//
// Only properties whose values differ from their defaults are written
// (TPropInfo::IsStored); components owned by a component are nested in it.
// Strings are quoted: 'it''s', with bytes outside 0x20-0x7E as #nnn (their
// decimal value), e.g. 'a'#13#10'b'; a cp932 text thus keeps its bytes.
// Events are written as the name of the root's published method they are
// bound to; an event bound to anything else raises EWriteError, as does a
// failing stream.
CLASSLIB_API void WriteComponentText(TStream& stream, TComponent& root);
CLASSLIB_API AnsiString ComponentToText(TComponent& root);

// Reads one object from the stream's position and leaves the stream just
// after its "end". With root given, its properties are read into it (its
// class name must be the one in the file); otherwise the root is created by
// class name, owned by owner. Components of nested objects are created by
// class name (the registry, else the class of a published field of an
// enclosing object), owned by the enclosing object, and stored in the
// enclosing object's published field of the same name if it has one. Every
// component read is in csLoading until all are read; then each gets Loaded,
// in the order they were read. Returns the root. On bad text raises
// EReadError (EClassNotFound for an unknown class) with the line number, and
// destroys the components it created; properties already set stay set.
CLASSLIB_API TComponent* ReadComponentText(TStream& stream, TComponent* root = nullptr, TComponent* owner = nullptr);
CLASSLIB_API TComponent* TextToComponent(const AnsiString& text, TComponent* root = nullptr, TComponent* owner = nullptr);
