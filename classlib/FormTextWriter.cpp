#include <string>

#include "ClassLibTexts.h"
#include "classlib/Classes.h"
#include "classlib/internal/TextFormat.h"

namespace {

constexpr const char* kLineEnd = "\r\n";

// 'abc', '' for a quote, #nnn for every byte outside 0x20-0x7E.
std::string QuoteString(std::string_view bytes) {
    if (bytes.empty()) return "''";
    std::string out;
    bool quoted = false;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const bool printable = b >= 0x20 && b <= 0x7E;
        if (printable != quoted) {
            out += '\'';
            quoted = printable;
        }
        if (!printable) out += '#' + std::to_string(b);
        else if (c == '\'') out += "''";
        else out += c;
    }
    if (quoted) out += '\'';
    return out;
}

class TFormTextWriter {
public:
    explicit TFormTextWriter(TComponent& root) : FRoot(root) {}

    std::string Write() {
        WriteObject(FRoot, 0);
        return std::move(FOut);
    }

private:
    void WriteObject(TComponent& component, int depth) {
        const std::string indent(std::size_t(depth) * 2, ' ');
        FOut += indent + "object ";
        if (!component.Name().IsEmpty()) FOut += component.Name().str() + ": ";
        FOut += component.ClassName().str() + kLineEnd;
        for (const TPropInfo* prop : component.ClassInfo().Properties()) {
            if (!prop->IsStored(component)) continue;
            FOut += indent + "  " + prop->Name.str() + " = " + ValueText(component, *prop) + kLineEnd;
        }
        for (int i = 0; i < component.ComponentCount(); ++i) WriteObject(*component.Components(i), depth + 1);
        FOut += indent + "end" + kLineEnd;
    }

    std::string ValueText(TComponent& component, const TPropInfo& prop) {
        const TPropValue value = prop.Get(component);
        switch (prop.Kind) {
            case tkBool: return std::get<bool>(value) ? "True" : "False";
            case tkInteger: return std::to_string(std::get<int>(value));
            case tkEnumeration: {
                const int ordinal = std::get<int>(value);
                if (ordinal < 0 || ordinal >= static_cast<int>(prop.EnumNames.size()))
                    throw EWriteError(FormatText(ClassLibText::PropertyValueInvalid, {prop.Name}));
                return prop.EnumNames[std::size_t(ordinal)].str();
            }
            case tkString: return QuoteString(std::get<AnsiString>(value).view());
            case tkMethod: {
                const AnsiString name = FRoot.ClassInfo().MethodName(FRoot, std::get<TNotifyEvent>(value));
                if (name.IsEmpty())
                    throw EWriteError(FormatText(ClassLibText::HandlerNotPublished,
                                                 {component.Name() + "." + prop.Name}));
                return name.str();
            }
        }
        return {};
    }

    TComponent& FRoot;
    std::string FOut;
};

}  // namespace

AnsiString ComponentToText(TComponent& root) { return AnsiString(TFormTextWriter(root).Write()); }

void WriteComponentText(TStream& stream, TComponent& root) {
    const AnsiString text = ComponentToText(root);
    stream.WriteBuffer(text.c_str(), text.Length());
}
