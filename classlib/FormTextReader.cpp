#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "ClassLibTexts.h"
#include "classlib/Classes.h"
#include "classlib/internal/FormTextLexer.h"
#include "classlib/internal/TextFormat.h"

// Friend of TComponent: sets and clears the loading states.
class TFormTextReader {
public:
    TFormTextReader(std::string_view text, TComponent* root, TComponent* owner)
        : FLexer(text), FGivenRoot(root), FOwner(owner) {}

    TComponent* Read();
    std::size_t Consumed() const { return FLexer.Offset(); }

private:
    // Nesting beyond this is refused rather than risking the stack.
    static constexpr int kMaxDepth = 64;

    struct TFieldAssignment {
        TComponent* Holder;
        const TFieldInfo* Field;
    };

    // The "object" keyword has been taken; reads up to and with its "end".
    TComponent* ReadObject(TComponent* enclosing, int depth, int line);
    TComponent* Resolve(TComponent* enclosing, const std::string& name, const std::string& className, int line);
    const TClassInfo& ClassByName(TComponent* enclosing, const std::string& className, int line) const;
    void ReadProperty(TComponent& component, const TFormTokenValue& nameToken);
    TPropValue ReadValue(const TPropInfo& prop, const TFormTokenValue& first);
    TFormTokenValue Expect(TFormToken kind, const char* message);
    static bool IsKeyword(const TFormTokenValue& token, std::string_view keyword) {
        return token.Kind == TFormToken::Identifier && SameIdentifier(token.Text, keyword);
    }
    void RollBack();
    [[noreturn]] static void Fail(int line, std::string message) { throw TFormSyntaxError{line, std::move(message)}; }

    TFormTextLexer FLexer;
    TComponent* FGivenRoot;
    TComponent* FOwner;
    TComponent* FRoot = nullptr;
    std::vector<TComponent*> FRead;     // every component read, in order
    std::vector<TComponent*> FCreated;  // those this reader created, in order
    std::vector<TFieldAssignment> FFields;
};

TComponent* TFormTextReader::Read() {
    try {
        const TFormTokenValue keyword = Expect(TFormToken::Identifier, ClassLibText::ExpectedObject);
        if (!IsKeyword(keyword, "object")) Fail(keyword.Line, ClassLibText::ExpectedObject);
        ReadObject(nullptr, 0, keyword.Line);
    } catch (...) {
        RollBack();
        throw;
    }
    // Loaded runs once everything is in place, so that a component may look
    // at the others; every state is cleared even if one Loaded raises.
    std::exception_ptr failure;
    for (TComponent* c : FRead) {
        c->FComponentState >> csReading;
        if (!failure) {
            try {
                c->Loaded();
            } catch (...) {
                failure = std::current_exception();
            }
        }
        c->FComponentState >> csLoading;
    }
    if (failure) std::rethrow_exception(failure);
    return FRoot;
}

void TFormTextReader::RollBack() {
    auto created = [&](const TComponent* c) { return std::find(FCreated.begin(), FCreated.end(), c) != FCreated.end(); };
    for (const TFieldAssignment& f : FFields)
        if (!created(f.Holder)) f.Field->Assign(*f.Holder, nullptr);
    for (TComponent* c : FRead)
        if (!created(c)) c->FComponentState >> csLoading >> csReading;
    // A component is created after the one that owns it, so deleting the
    // last created first never deletes one twice.
    for (auto c = FCreated.rbegin(); c != FCreated.rend(); ++c) delete *c;
    FCreated.clear();
}

TFormTokenValue TFormTextReader::Expect(TFormToken kind, const char* message) {
    TFormTokenValue token = FLexer.Next();
    if (token.Kind == TFormToken::End) Fail(token.Line, ClassLibText::UnexpectedEnd);
    if (token.Kind != kind) Fail(token.Line, message);
    return token;
}

TComponent* TFormTextReader::ReadObject(TComponent* enclosing, int depth, int line) {
    if (depth >= kMaxDepth) Fail(line, ClassLibText::NestingTooDeep);
    // "object Name: TClass", or "object TClass" for a component without a name.
    const TFormTokenValue first = Expect(TFormToken::Identifier, ClassLibText::ExpectedIdentifier);
    std::string name;
    std::string className = first.Text;
    const TFormTokenValue after = FLexer.Peek();
    if (after.Kind == TFormToken::Symbol && after.Symbol == ':') {
        FLexer.Next();
        name = first.Text;
        className = Expect(TFormToken::Identifier, ClassLibText::ExpectedIdentifier).Text;
    }
    TComponent* component = Resolve(enclosing, name, className, first.Line);
    for (;;) {
        const TFormTokenValue token = FLexer.Next();
        if (token.Kind == TFormToken::End) Fail(token.Line, ClassLibText::UnexpectedEnd);
        if (token.Kind != TFormToken::Identifier) Fail(token.Line, ClassLibText::ExpectedIdentifier);
        if (IsKeyword(token, "end")) return component;
        if (IsKeyword(token, "object")) ReadObject(component, depth + 1, token.Line);
        else ReadProperty(*component, token);
    }
}

const TClassInfo& TFormTextReader::ClassByName(TComponent* enclosing, const std::string& className, int line) const {
    if (const TClassInfo* c = GetClass(className)) return *c;
    for (TComponent* e = enclosing; e; e = e == FRoot ? nullptr : e->Owner())
        if (const TClassInfo* c = e->ClassInfo().FindFieldClass(className)) return *c;
    const AnsiString message = FormatText(ClassLibText::ClassNotFound, {AnsiString(className)});
    throw EClassNotFound(FormatText(ClassLibText::FormLine, {IntToStr(line), message}));
}

TComponent* TFormTextReader::Resolve(TComponent* enclosing, const std::string& name, const std::string& className,
                                     int line) {
    TComponent* component = nullptr;
    if (!enclosing && FGivenRoot) {
        component = FGivenRoot;
    } else if (enclosing) {
        // A component that the enclosing one made itself is read into, not
        // made twice; one of this file's own names twice is an error.
        component = enclosing->FindComponent(name);
        if (component && std::find(FRead.begin(), FRead.end(), component) != FRead.end())
            Fail(line, FormatText(ClassLibText::DuplicateName, {AnsiString(name)}).str());
    }
    if (component) {
        if (!SameIdentifier(component->ClassName().view(), className))
            Fail(line, FormatText(ClassLibText::ClassMismatch, {AnsiString(className), component->ClassName()}).str());
    } else {
        const TClassInfo& info = ClassByName(enclosing, className, line);
        component = info.Create(enclosing ? enclosing : FOwner);
        if (!component) Fail(line, FormatText(ClassLibText::NotCreatable, {info.ClassName()}).str());
        FCreated.push_back(component);
    }
    FRead.push_back(component);
    component->FComponentState << csLoading << csReading;
    if (!enclosing) FRoot = component;
    try {
        if (!name.empty()) component->SetName(AnsiString(name));
    } catch (const Exception& e) {
        Fail(line, e.Message().str());
    }
    if (enclosing && !name.empty()) {
        if (const TFieldInfo* field = enclosing->ClassInfo().FindField(name)) {
            if (!field->Assign(*enclosing, component))
                Fail(line, FormatText(ClassLibText::FieldTypeMismatch, {AnsiString(name), component->ClassName()}).str());
            FFields.push_back({enclosing, field});
        }
    }
    return component;
}

void TFormTextReader::ReadProperty(TComponent& component, const TFormTokenValue& nameToken) {
    const AnsiString propName(nameToken.Text);
    const TPropInfo* prop = component.ClassInfo().FindProperty(nameToken.Text);
    if (!prop) Fail(nameToken.Line, FormatText(ClassLibText::UnknownProperty, {propName}).str());
    const TFormTokenValue equals = FLexer.Next();
    if (equals.Kind != TFormToken::Symbol || equals.Symbol != '=') Fail(equals.Line, ClassLibText::ExpectedEquals);
    const TFormTokenValue first = FLexer.Next();
    if (first.Kind == TFormToken::End) Fail(first.Line, ClassLibText::UnexpectedEnd);
    const TPropValue value = ReadValue(*prop, first);
    if (prop->IsReadOnly()) Fail(nameToken.Line, FormatText(ClassLibText::PropertyReadOnly, {propName}).str());
    try {
        prop->Set(component, value);
    } catch (const Exception& e) {
        // The component's own setter refused the value.
        Fail(nameToken.Line, e.Message().str());
    }
}

TPropValue TFormTextReader::ReadValue(const TPropInfo& prop, const TFormTokenValue& first) {
    auto invalid = [&]() { Fail(first.Line, FormatText(ClassLibText::PropertyValueInvalid, {prop.Name}).str()); };
    switch (prop.Kind) {
        case tkBool:
            if (IsKeyword(first, "True")) return true;
            if (IsKeyword(first, "False")) return false;
            break;
        case tkInteger:
            if (first.Kind == TFormToken::Integer) return first.Number;
            break;
        case tkEnumeration:
            if (first.Kind == TFormToken::Identifier) {
                const int ordinal = prop.EnumOrdinal(first.Text);
                if (ordinal >= 0) return ordinal;
            }
            break;
        case tkString:
            if (first.Kind == TFormToken::String) {
                // Long strings may be split into parts joined with "+".
                std::string text = first.Text;
                for (TFormTokenValue next = FLexer.Peek(); next.Kind == TFormToken::Symbol && next.Symbol == '+';
                     next = FLexer.Peek()) {
                    FLexer.Next();
                    text += Expect(TFormToken::String, ClassLibText::ExpectedValue).Text;
                }
                return AnsiString(std::move(text));
            }
            break;
        case tkMethod:
            if (first.Kind == TFormToken::Identifier) {
                const TMethodInfo* method = FRoot->ClassInfo().FindMethod(first.Text);
                if (!method)
                    Fail(first.Line, FormatText(ClassLibText::MethodNotFound, {AnsiString(first.Text)}).str());
                return method->Bind(*FRoot);
            }
            break;
    }
    invalid();
    return {};
}

TComponent* ReadComponentText(TStream& stream, TComponent* root, TComponent* owner) {
    const int start = stream.Position();
    const int size = stream.Size();
    std::string text(std::size_t(size > start ? size - start : 0), '\0');
    stream.ReadBuffer(text.data(), static_cast<int>(text.size()));
    TFormTextReader reader(text, root, owner);
    try {
        TComponent* result = reader.Read();
        stream.SetPosition(start + static_cast<int>(reader.Consumed()));
        return result;
    } catch (const TFormSyntaxError& e) {
        stream.SetPosition(start);
        throw EReadError(FormatText(ClassLibText::FormLine, {IntToStr(e.Line), AnsiString(e.Message)}));
    } catch (...) {
        stream.SetPosition(start);
        throw;
    }
}

TComponent* TextToComponent(const AnsiString& text, TComponent* root, TComponent* owner) {
    TMemoryStream stream;
    stream.WriteBuffer(text.c_str(), text.Length());
    stream.SetPosition(0);
    return ReadComponentText(stream, root, owner);
}
