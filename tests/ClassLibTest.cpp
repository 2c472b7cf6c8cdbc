// The class-library core: text operations, components and their form files,
// the palette, streams, the application object and its message boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "classlib/AnsiString.h"
#include "classlib/Classes.h"
#include "classlib/Cp932Utf8.h"
#include "classlib/Forms.h"
#include "classlib/MessageBoxes.h"
#include "classlib/SysUtils.h"
#include "platform/Platform.h"

namespace {

// ---------------------------------------------------------------- text

TEST(AnsiStringTest, PositionsCountFromOne) {
    struct Case {
        const char* text;
        const char* sub;
        int pos;
    };
    const Case cases[] = {
        {"abcabc", "a", 1}, {"abcabc", "c", 3}, {"abcabc", "ca", 3}, {"abc", "abcd", 0},
        {"abc", "", 1},     {"", "a", 0},       {"\x83\x5C\\", "\\", 2},  // a byte search: it finds the trail byte
    };
    for (const Case& c : cases) EXPECT_EQ(AnsiString(c.text).Pos(c.sub), c.pos) << c.text << " / " << c.sub;
}

TEST(AnsiStringTest, SubStringClipsToTheString) {
    struct Case {
        int index;
        int count;
        const char* expected;
    };
    const Case cases[] = {
        {1, 3, "abc"}, {2, 2, "bc"}, {5, 1, "e"}, {5, 9, "e"}, {6, 1, ""},  {0, 2, "a"},
        {-1, 3, "a"},  {1, 0, ""},   {3, -1, ""}, {1, INT_MAX, "abcde"}, {INT_MIN, INT_MAX, ""},
        {INT_MAX, INT_MAX, ""},
    };
    const AnsiString s("abcde");
    for (const Case& c : cases)
        EXPECT_EQ(s.SubString(c.index, c.count), AnsiString(c.expected)) << c.index << "," << c.count;
    EXPECT_EQ(s[1], 'a');
    EXPECT_EQ(s[5], 'e');
}

TEST(SysUtilsTest, CaseMappingLeavesDoubleByteCharactersWhole) {
    struct Case {
        const char* text;
        const char* upper;
        const char* lower;
    };
    const Case cases[] = {
        {"abc-XYZ", "ABC-XYZ", "abc-xyz"},
        {"\x83\x5C" "a", "\x83\x5C" "A", "\x83\x5C" "a"},  // "ソa": the 0x5C trail byte stays
        {"\x82\x61" "b", "\x82\x61" "B", "\x82\x61" "b"},  // trail byte 0x61 ('a') is not upper-cased
        {"\x88\x41" "A", "\x88\x41" "A", "\x88\x41" "a"},  // trail byte 0x41 ('A') is not lower-cased
        {"\xB1z", "\xB1Z", "\xB1z"},                       // half-width katakana is a single byte
        {"z\x82", "Z\x82", "z\x82"},                       // a lead byte at the end has no trail byte
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AnsiUpperCase(c.text), AnsiString(c.upper)) << c.text;
        EXPECT_EQ(AnsiLowerCase(c.text), AnsiString(c.lower)) << c.text;
    }
}

TEST(SysUtilsTest, TrailBytesAreJudgedFromTheStart) {
    // "a" "ソ" "\" "ソ": bytes 61 83 5C 5C 83 5C
    const AnsiString s("a\x83\x5C\\\x83\x5C");
    const bool trail[] = {false, false, true, false, false, true};
    for (int i = 1; i <= s.Length(); ++i) EXPECT_EQ(IsTrailByte(s, i), trail[i - 1]) << i;
    EXPECT_FALSE(IsTrailByte(s, 0));
    EXPECT_FALSE(IsTrailByte(s, 7));
    // Two lead-range bytes in a row: the second is the first one's trail byte.
    EXPECT_TRUE(IsTrailByte("\x81\x81\x81", 2));
    EXPECT_FALSE(IsTrailByte("\x81\x81\x81", 3));
}

TEST(SysUtilsTest, LastDelimiterSkipsTrailBytes) {
    struct Case {
        const char* delimiters;
        const char* text;
        int pos;
    };
    const Case cases[] = {
        {"\\", "C:\\dir\\a.txt", 7},
        {"\\", "C:\\\x83\x5C", 3},  // "C:\ソ": the 0x5C of ソ is no backslash
        {"\\", "\x83\x5C", 0},
        {"\\:", "C:a.txt", 2},
        {".\\", "a.b\\c", 4},
        {"\\", "abc", 0},
        {"\\", "", 0},
        {"", "a\\b", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(LastDelimiter(c.delimiters, c.text), c.pos) << c.text;
}

TEST(SysUtilsTest, IntToStrAndIntToHex) {
    EXPECT_EQ(IntToStr(0), AnsiString("0"));
    EXPECT_EQ(IntToStr(-2147483647 - 1), AnsiString("-2147483648"));
    struct Case {
        int value;
        int digits;
        const char* hex;
    };
    const Case cases[] = {{0, 0, "0"}, {255, 1, "FF"}, {255, 4, "00FF"}, {-1, 2, "FFFFFFFF"},
                          {0x1A2B, 8, "00001A2B"}, {10, -3, "A"}};
    for (const Case& c : cases) EXPECT_EQ(IntToHex(c.value, c.digits), AnsiString(c.hex)) << c.value;
}

TEST(Cp932Utf8Test, ConvertsByTheTable) {
    struct Case {
        const char* cp932;
        const char* utf8;
    };
    const Case cases[] = {
        {"abc\\~", "abc\\~"},                        // 0x5C stays a backslash in cp932
        {"\x83\x5C", "\xE3\x82\xBD"},                // ソ
        {"\x93\xFA\x96\x7B", "\xE6\x97\xA5\xE6\x9C\xAC"},  // 日本
        {"\xB1", "\xEF\xBD\xB1"},                    // half-width ｱ
        {"\x87\x40", "\xE2\x91\xA0"},                // ① (an extension row of cp932)
        {"a\x82", "a\xEF\xBF\xBD"},                  // lead byte cut off at the end
        {"\x82\n", "\xEF\xBF\xBD\n"},                // no trail byte: the line feed survives
        {"\x85\x40", "\xEF\xBF\xBD"},                // a pair without a character
    };
    for (const Case& c : cases) EXPECT_EQ(Cp932ToUtf8(c.cp932), std::string(c.utf8)) << c.cp932;
    EXPECT_EQ(Cp932ToUtf8(std::string_view("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Cp932Utf8Test, ConvertsUtf8Back) {
    struct Case {
        const char* utf8;
        const char* cp932;  // null: refused
    };
    const Case cases[] = {
        {"abc\\~", "abc\\~"},
        {"\xE3\x82\xBD", "\x83\x5C"},                  // ソ: trail byte 0x5C
        {"\xE6\x97\xA5\xE6\x9C\xAC.txt", "\x93\xFA\x96\x7B.txt"},
        {"\xEF\xBD\xB1", "\xB1"},                      // half-width ｱ
        {"\xE2\x89\x92", "\x81\xE0"},                  // ≒: the JIS row before NEC row 13
        {"\xE2\x85\xA0", "\x87\x54"},                  // Ⅰ: NEC row 13 before the IBM extension
        {"\xE2\x85\xB0", "\xFA\x40"},                  // ⅰ: the IBM extension before the NEC copy
        {"\xF0\x9F\x98\x80", nullptr},                // outside the BMP: no cp932 code
        {"\xC3\xA9", nullptr},                        // é: not in cp932
        {"\xE3\x82", nullptr},                        // cut short
        {"\xC0\xAF", nullptr},                        // overlong "/"
        {"\xED\xA0\x80", nullptr},                    // a surrogate
        {"\xFF", nullptr},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(Utf8ToCp932(c.utf8, out), c.cp932 != nullptr) << c.utf8;
        if (c.cp932) {
            EXPECT_EQ(out, std::string(c.cp932)) << c.utf8;
        }
    }
    // Every cp932 character comes back to bytes that read as the same character.
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            const std::string utf8 = Cp932ToUtf8(pair);
            if (utf8.find("\xEF\xBF\xBD") != std::string::npos) continue;  // no character
            std::string back;
            ASSERT_TRUE(Utf8ToCp932(utf8, back)) << lead << " " << trail;
            EXPECT_EQ(Cp932ToUtf8(back), utf8);
        }
    }
}

// ---------------------------------------------------------------- events

struct THandlerHost : TComponent {
    using TComponent::TComponent;
    void Handle(TObject* sender) { Senders.push_back(sender); }
    void Other(TObject*) {}
    std::vector<TObject*> Senders;
};

TEST(NotifyEventTest, BindsMethodsAndCallables) {
    THandlerHost host(nullptr);
    TNotifyEvent unassigned;
    EXPECT_FALSE(unassigned);
    unassigned(&host);  // does nothing

    TNotifyEvent method(&host, &THandlerHost::Handle);
    ASSERT_TRUE(method);
    method(&host);
    EXPECT_EQ(host.Senders, std::vector<TObject*>{&host});
    EXPECT_EQ(method, TNotifyEvent(&host, &THandlerHost::Handle));
    EXPECT_NE(method, TNotifyEvent(&host, &THandlerHost::Other));
    THandlerHost other(nullptr);
    EXPECT_NE(method, TNotifyEvent(&other, &THandlerHost::Handle));

    int calls = 0;
    TNotifyEvent lambda = [&calls](TObject*) { ++calls; };
    TNotifyEvent copy = lambda;
    copy(nullptr);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(copy, lambda);
    EXPECT_NE(lambda, TNotifyEvent([](TObject*) {}));
    copy = nullptr;
    EXPECT_FALSE(copy);
    EXPECT_EQ(copy, unassigned);
}

// ---------------------------------------------------------------- components

// Writes its name to a shared log when destroyed.
struct TProbe : TComponent {
    TProbe(TComponent* owner, const char* name, std::vector<std::string>* log) : TComponent(owner), Log(log) {
        SetName(name);
    }
    ~TProbe() override { Log->push_back(Name().str()); }
    std::vector<std::string>* Log;
};

TEST(ComponentTest, OwnerDestroysItsComponentsLastInsertedFirst) {
    std::vector<std::string> log;
    {
        TProbe root(nullptr, "Root", &log);
        auto* a = new TProbe(&root, "A", &log);
        new TProbe(&root, "B", &log);
        new TProbe(a, "A1", &log);
        new TProbe(&root, "C", &log);
        ASSERT_EQ(root.ComponentCount(), 3);
        EXPECT_EQ(root.Components(0), a);
        EXPECT_EQ(root.Components(3), nullptr);
        EXPECT_EQ(root.Components(-1), nullptr);
        EXPECT_EQ(root.FindComponent("b"), root.Components(1));
        EXPECT_EQ(root.FindComponent("A1"), nullptr);  // owned by A, not by Root
        delete root.Components(1);                     // B leaves its owner
        EXPECT_EQ(root.ComponentCount(), 2);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"B", "Root", "C", "A", "A1"}));
}

TEST(ComponentTest, OwnershipMovesAndRefusesCycles) {
    TComponent a(nullptr), b(nullptr);
    auto* c = new TComponent(&a);
    b.InsertComponent(c);
    EXPECT_EQ(c->Owner(), &b);
    EXPECT_EQ(a.ComponentCount(), 0);
    EXPECT_EQ(b.ComponentCount(), 1);
    auto* d = new TComponent(c);
    EXPECT_THROW(d->InsertComponent(&b), EComponentError);  // b owns c owns d
    EXPECT_THROW(c->InsertComponent(c), EComponentError);
    EXPECT_EQ(c->Owner(), &b);
    b.RemoveComponent(c);
    EXPECT_EQ(c->Owner(), nullptr);
    delete c;
}

TEST(ComponentTest, NamesAreUniqueIdentifiers) {
    TComponent owner(nullptr);
    auto* a = new TComponent(&owner);
    auto* b = new TComponent(&owner);
    a->SetName("Button1");
    EXPECT_THROW(b->SetName("BUTTON1"), EComponentError);
    for (const char* bad : {"1abc", "a b", "a-b", "\x83\x5C"}) EXPECT_THROW(b->SetName(bad), EComponentError) << bad;
    EXPECT_EQ(b->Name(), AnsiString());
    b->SetName("_Button2");
    a->SetName("button1");  // a new case of its own name
    EXPECT_EQ(a->Name(), AnsiString("button1"));
    // A component that would bring a taken name is not inserted.
    TComponent stray(nullptr);
    auto* c = new TComponent(&stray);
    c->SetName("Button1");
    EXPECT_THROW(owner.InsertComponent(c), EComponentError);
    EXPECT_EQ(c->Owner(), &stray);
}

// ---------------------------------------------------------------- form files

enum TShade : unsigned char { shLight, shMedium, shDark };

class TWidget : public TComponent {
public:
    explicit TWidget(TComponent* owner) : TComponent(owner) {}
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

    void SetEnabled(bool value) {
        FEnabled = value;
        ++EnabledSets;
    }
    void SetCount(int value) {
        if (value < 0) throw Exception("negative");
        FCount = value;
    }
    void Loaded() override {
        LoadingInLoaded = ComponentState().Contains(csLoading);
        TComponent::Loaded();
        ++LoadedCalls;
    }

    bool FEnabled = true;
    TShade FShade = shMedium;
    int FCount = 0;
    AnsiString FCaption;
    TNotifyEvent FOnChange;
    int FVersion = 7;
    int EnabledSets = 0;
    int LoadedCalls = 0;
    bool LoadingInLoaded = false;
};

const TClassInfo& TWidget::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TWidget>("TWidget", &TComponent::StaticClassInfo())
                                       .Property("Enabled", &TWidget::FEnabled, &TWidget::SetEnabled, true)
                                       .Enum("Shade", &TWidget::FShade, &TWidget::FShade,
                                             {"shLight", "shMedium", "shDark"}, shMedium)
                                       .Property("Count", &TWidget::FCount, &TWidget::SetCount)
                                       .Property("Caption", &TWidget::FCaption, &TWidget::FCaption)
                                       .Property("OnChange", &TWidget::FOnChange, &TWidget::FOnChange)
                                       .Property("Version", &TWidget::FVersion)  // read-only
                                       .Build();
    return info;
}

class TTestForm : public TComponent {
public:
    explicit TTestForm(TComponent* owner) : TComponent(owner) {}
    ~TTestForm() override { DestroyComponents(); }
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

    void WidgetChange(TObject* sender) { Changed.push_back(sender); }
    void OtherChange(TObject*) {}
    void Loaded() override {
        TComponent::Loaded();
        ++LoadedCalls;
    }

    TWidget* Widget1 = nullptr;
    std::vector<TObject*> Changed;
    int LoadedCalls = 0;
};

const TClassInfo& TTestForm::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TTestForm>("TTestForm", &TComponent::StaticClassInfo())
                                       .Method("WidgetChange", &TTestForm::WidgetChange)
                                       .Method("OtherChange", &TTestForm::OtherChange)
                                       .Field("Widget1", &TTestForm::Widget1)
                                       .Build();
    return info;
}

TEST(FormFileTest, DefaultsAreLeftOut) {
    TWidget widget(nullptr);
    widget.SetName("Widget1");
    EXPECT_EQ(ComponentToText(widget), AnsiString("object Widget1: TWidget\r\n  Count = 0\r\nend\r\n"));
    const std::vector<const TPropInfo*> props = TWidget::StaticClassInfo().Properties();
    ASSERT_GE(props.size(), 2u);
    EXPECT_EQ(props[0]->Name, AnsiString("Name"));
    EXPECT_EQ(props[1]->Name, AnsiString("Tag"));
}

TEST(FormFileTest, RoundTripOfChangedValues) {
    TTestForm form(nullptr);
    form.SetName("Form1");
    form.SetTag(-5);
    auto* widget = new TWidget(&form);
    widget->SetName("Widget1");
    widget->FEnabled = false;
    widget->FShade = shDark;
    widget->FCount = 42;
    widget->FCaption = AnsiString("it's\r\n\x83\x5C");
    widget->FOnChange = TNotifyEvent(&form, &TTestForm::WidgetChange);
    widget->FVersion = 9;  // read-only: never written
    auto* unnamed = new TWidget(&form);
    unnamed->FCount = 1;

    const AnsiString text = ComponentToText(form);
    EXPECT_EQ(text, AnsiString("object Form1: TTestForm\r\n"
                               "  Tag = -5\r\n"
                               "  object Widget1: TWidget\r\n"
                               "    Enabled = False\r\n"
                               "    Shade = shDark\r\n"
                               "    Count = 42\r\n"
                               "    Caption = 'it''s'#13#10#131'\\'\r\n"
                               "    OnChange = WidgetChange\r\n"
                               "  end\r\n"
                               "  object TWidget\r\n"
                               "    Count = 1\r\n"
                               "  end\r\n"
                               "end\r\n"));

    RegisterClass(TTestForm::StaticClassInfo());
    RegisterClass(TWidget::StaticClassInfo());
    TComponent owner(nullptr);
    auto* read = dynamic_cast<TTestForm*>(TextToComponent(text, nullptr, &owner));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Owner(), &owner);
    EXPECT_EQ(read->Name(), AnsiString("Form1"));
    EXPECT_EQ(read->Tag(), -5);
    ASSERT_EQ(read->ComponentCount(), 2);
    TWidget* w = read->Widget1;
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w, read->Components(0));
    EXPECT_FALSE(w->FEnabled);
    EXPECT_EQ(w->EnabledSets, 1);  // through the setter
    EXPECT_EQ(w->FShade, shDark);
    EXPECT_EQ(w->FCount, 42);
    EXPECT_EQ(w->FCaption, widget->FCaption);
    EXPECT_EQ(w->FVersion, 7);
    w->FOnChange(w);
    EXPECT_EQ(read->Changed, std::vector<TObject*>{w});
    EXPECT_EQ(ComponentToText(*read), text);
    for (TComponent* c : {static_cast<TComponent*>(read), read->Components(0), read->Components(1)})
        EXPECT_FALSE(c->ComponentState().Contains(csLoading));
    EXPECT_EQ(read->LoadedCalls, 1);
    EXPECT_EQ(w->LoadedCalls, 1);
    EXPECT_TRUE(w->LoadingInLoaded);
}

TEST(FormFileTest, ReadsIntoAGivenRootAndItsOwnComponents) {
    TTestForm form(nullptr);
    auto* own = new TWidget(&form);
    own->SetName("Widget1");
    // Line breaks, case, hex numbers and strings split with "+" are read as well.
    TextToComponent("OBJECT Main : TTestForm\n Tag = $10\n object Widget1: TWidget\n"
                    "  caption = 'ab' +\n    #$41'c'\n  shade = SHLIGHT\n end\nEND trailing",
                    &form);
    EXPECT_EQ(form.Name(), AnsiString("Main"));
    EXPECT_EQ(form.Tag(), 16);
    ASSERT_EQ(form.ComponentCount(), 1);  // read into, not made twice
    EXPECT_EQ(form.Widget1, own);
    EXPECT_EQ(own->FCaption, AnsiString("abAc"));
    EXPECT_EQ(own->FShade, shLight);
    EXPECT_EQ(own->LoadedCalls, 1);
}

TEST(FormFileTest, BadTextRaisesAndRemovesWhatItMade) {
    RegisterClass(TWidget::StaticClassInfo());
    RegisterClass(TTestForm::StaticClassInfo());
    struct Case {
        const char* text;
        const char* why;
    };
    const Case cases[] = {
        {"object F: TTestForm\n object W: TWidget\n  Colour = 1\n end\nend", "unknown property"},
        {"object F: TTestForm\n object W: TWidget\n  Enabled = Yes\n end\nend", "bad bool"},
        {"object F: TTestForm\n object W: TWidget\n  Shade = shPurple\n end\nend", "unknown enumerator"},
        {"object F: TTestForm\n object W: TWidget\n  Count = 2147483648\n end\nend", "int out of range"},
        {"object F: TTestForm\n object W: TWidget\n  Count = 12ab\n end\nend", "not a number"},
        {"object F: TTestForm\n object W: TWidget\n  Count = -1\n end\nend", "setter refuses"},
        {"object F: TTestForm\n object W: TWidget\n  Count = 'x'\n end\nend", "string for int"},
        {"object F: TTestForm\n object W: TWidget\n  Caption = 'abc\n end\nend", "unterminated string"},
        {"object F: TTestForm\n object W: TWidget\n  Caption = #256\n end\nend", "char code"},
        {"object F: TTestForm\n object W: TWidget\n  Version = 3\n end\nend", "read-only"},
        {"object F: TTestForm\n object W: TWidget\n  OnChange = Nowhere\n end\nend", "no such method"},
        {"object F: TTestForm\n object W: TWidget\n  Count 3\n end\nend", "no equals"},
        {"object F: TTestForm\n object W: TWidget\n  Count = 3\n", "missing end"},
        {"object F: TTestForm\n object W: TWidget\n  Count = 3 ;\n end\nend", "stray byte"},
        {"object F: TTestForm\n object W: TWidget\n end\n object W: TWidget\n end\nend", "duplicate name"},
        {"object F: TTestForm\n object Widget1: TTestForm\n end\nend", "field of another class"},
        {"object F: TWidget\nend", "root of another class"},
        {"objekt F: TTestForm\nend", "no object keyword"},
        {"", "empty"},
    };
    for (const Case& c : cases) {
        TTestForm form(nullptr);
        EXPECT_THROW(TextToComponent(c.text, &form), EReadError) << c.why;
        EXPECT_EQ(form.ComponentCount(), 0) << c.why;
        EXPECT_EQ(form.Widget1, nullptr) << c.why;
        EXPECT_FALSE(form.ComponentState().Contains(csLoading)) << c.why;
    }
}

TEST(FormFileTest, ErrorsNameTheLine) {
    TTestForm form(nullptr);
    try {
        TextToComponent("object F: TTestForm\n\n  Tag = x\nend", &form);
        FAIL() << "no exception";
    } catch (const EReadError& e) {
        EXPECT_NE(e.Message().Pos(" 3 "), 0) << e.Message().c_str();
    }
}

TEST(FormFileTest, UnknownClassesAndDeepNestingAreRefused) {
    RegisterClass(TWidget::StaticClassInfo());
    TTestForm form(nullptr);
    EXPECT_THROW(TextToComponent("object F: TTestForm\n object X: TNoSuchClass\n end\nend", &form), EClassNotFound);
    std::string deep = "object F: TTestForm\n";
    for (int i = 0; i < 100000; ++i) deep += "object TWidget\n";
    EXPECT_THROW(TextToComponent(AnsiString(deep), &form), EReadError);
    EXPECT_EQ(form.ComponentCount(), 0);
}

TEST(FormFileTest, ClassesOfPublishedFieldsNeedNoRegistration) {
    // TFieldOnly is registered nowhere; the form's field names its class.
    struct TFieldOnly : TComponent {
        using TComponent::TComponent;
        static const TClassInfo& StaticClassInfo() {
            static const TClassInfo info =
                TClassBuilder<TFieldOnly>("TFieldOnly", &TComponent::StaticClassInfo()).Build();
            return info;
        }
        const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    };
    struct THolder : TComponent {
        using TComponent::TComponent;
        static const TClassInfo& StaticClassInfo() {
            static const TClassInfo info = TClassBuilder<THolder>("THolder", &TComponent::StaticClassInfo())
                                               .Field("Part", &THolder::Part)
                                               .Build();
            return info;
        }
        const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
        TFieldOnly* Part = nullptr;
    };
    THolder holder(nullptr);
    TextToComponent("object H: THolder\n object Part: TFieldOnly\n end\nend", &holder);
    ASSERT_NE(holder.Part, nullptr);
    EXPECT_EQ(holder.Part->Owner(), &holder);
}

TEST(FormFileTest, EventsOutsideTheRootsMethodsCannotBeWritten) {
    TTestForm form(nullptr);
    auto* widget = new TWidget(&form);
    widget->SetName("W");
    widget->FOnChange = [](TObject*) {};
    EXPECT_THROW(ComponentToText(form), EWriteError);
    THandlerHost stranger(nullptr);
    widget->FOnChange = TNotifyEvent(&stranger, &THandlerHost::Handle);
    EXPECT_THROW(ComponentToText(form), EWriteError);
}

TEST(FormFileTest, StreamsKeepTheirPositions) {
    TTestForm form(nullptr);
    form.SetName("F");
    TMemoryStream stream;
    stream.WriteBuffer("xx", 2);
    WriteComponentText(stream, form);
    const int end = stream.Position();
    stream.WriteBuffer("tail", 4);
    stream.SetPosition(2);
    TTestForm read(nullptr);
    ReadComponentText(stream, &read);
    EXPECT_EQ(read.Name(), AnsiString("F"));
    EXPECT_EQ(stream.Position(), end - 2);  // just after "end", before its line end
}

// ---------------------------------------------------------------- palette

TEST(PaletteTest, RegisterComponentsFillsPages) {
    RegisterComponents("TestPage", {&TWidget::StaticClassInfo()});
    TComponentClass classes[] = {&TTestForm::StaticClassInfo(), &TWidget::StaticClassInfo()};
    RegisterComponents("TestPage", classes);
    RegisterComponents("TestPage2", {&TWidget::StaticClassInfo()});
    EXPECT_EQ(PaletteClassNames("TestPage"), (std::vector<AnsiString>{"TWidget", "TTestForm"}));
    EXPECT_EQ(PaletteClassNames("TestPage2"), std::vector<AnsiString>{"TWidget"});
    EXPECT_TRUE(PaletteClassNames("NoSuchPage").empty());
    const std::vector<AnsiString> pages = PalettePages();
    EXPECT_NE(std::find(pages.begin(), pages.end(), AnsiString("TestPage")), pages.end());
    EXPECT_EQ(GetClass("twidget"), &TWidget::StaticClassInfo());
    EXPECT_EQ(&FindClass("TTestForm"), &TTestForm::StaticClassInfo());
    EXPECT_EQ(GetClass("TNoSuchClass"), nullptr);
    EXPECT_THROW(FindClass("TNoSuchClass"), EClassNotFound);
}

TEST(PaletteTest, ConflictsRegisterNothing) {
    RegisterClass(TWidget::StaticClassInfo());
    static const TClassInfo impostor = TClassBuilder<TWidget>("TWidget", &TComponent::StaticClassInfo()).Build();
    static const TClassInfo fresh = TClassBuilder<TWidget>("TFreshWidget", &TComponent::StaticClassInfo()).Build();
    TComponentClass withImpostor[] = {&fresh, &impostor};
    EXPECT_THROW(RegisterComponents("Conflicts", withImpostor), EComponentError);
    TComponentClass withNull[] = {&fresh, nullptr};
    EXPECT_THROW(RegisterComponents("Conflicts", withNull), EComponentError);
    EXPECT_EQ(GetClass("TFreshWidget"), nullptr);
    EXPECT_TRUE(PaletteClassNames("Conflicts").empty());
    EXPECT_THROW(RegisterClass(impostor), EComponentError);
}

// ---------------------------------------------------------------- streams

class TTempDir {
public:
    TTempDir() {
        static int counter = 0;
        FPath = std::filesystem::temp_directory_path() /
                ("classlibtest-" + std::to_string(std::random_device{}()) + "-" + std::to_string(++counter));
        std::filesystem::create_directories(FPath);
    }
    ~TTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    AnsiString File(const char* name) const { return AnsiString((FPath / name).string()); }

private:
    std::filesystem::path FPath;
};

std::string ReadAll(TStream& s) {
    std::string out(std::size_t(s.Size()), '\0');
    s.SetPosition(0);
    s.ReadBuffer(out.data(), static_cast<int>(out.size()));
    return out;
}

TEST(FileStreamTest, MissingFilesAndBadModesRaise) {
    TTempDir dir;
    EXPECT_THROW(TFileStream(dir.File("missing.bin"), fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream(dir.File("missing.bin"), fmOpenReadWrite | fmShareDenyWrite), EFOpenError);
    EXPECT_THROW(TFileStream(dir.File("no-dir/new.bin"), fmCreate), EFCreateError);
    TFileStream(dir.File("x.bin"), fmCreate);
    for (unsigned short mode : {0x0003, 0x0050, 0x0120})
        EXPECT_THROW(TFileStream(dir.File("x.bin"), mode), EFOpenError) << mode;
    EXPECT_THROW(TFileStream(AnsiString(std::string("x.bin\0.txt", 10)), fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream("", fmCreate), EFCreateError);
    try {
        TFileStream(dir.File("missing.bin"), fmOpenRead);
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message().Pos("missing.bin"), 0);
    }
}

TEST(FileStreamTest, WritesReadsSeeksAndSizes) {
    TTempDir dir;
    const AnsiString name = dir.File("data.bin");
    {
        TFileStream f(name, fmCreate);
        f.WriteBuffer("hello world", 11);
        EXPECT_EQ(f.Size(), 11);
        EXPECT_EQ(f.Seek(-5, soFromEnd), 6);
        EXPECT_EQ(f.Seek(-1, soFromBeginning), -1);
        EXPECT_EQ(f.Position(), 6);
        EXPECT_EQ(f.Seek(3, 7), -1);
        EXPECT_EQ(f.Seek(INT_MAX, soFromCurrent), -1);
        f.SetPosition(15);
        f.WriteBuffer("!", 1);  // the gap reads as zero bytes
        EXPECT_EQ(f.Size(), 16);
        f.SetSize(5);
        EXPECT_EQ(f.Position(), 5);
        f.SetPosition(2);
        f.SetSize(8);
        EXPECT_EQ(f.Position(), 2);
        EXPECT_EQ(ReadAll(f), std::string("hello\0\0\0", 8));
    }
    TFileStream r(name, fmOpenRead | fmShareDenyWrite);
    char buffer[16] = {};
    EXPECT_EQ(r.Read(buffer, 16), 8);
    EXPECT_EQ(r.Read(buffer, 16), 0);
    EXPECT_EQ(r.Read(buffer, -1), 0);
    EXPECT_THROW(r.ReadBuffer(buffer, 1), EReadError);
    EXPECT_THROW(r.WriteBuffer("x", 1), EWriteError);  // opened for reading only
    EXPECT_EQ(r.FileName(), name);
}

TEST(FileStreamTest, ShareModesHoldBetweenHandles) {
    TTempDir dir;
    const AnsiString name = dir.File("shared.bin");
    TFileStream(name, fmCreate).WriteBuffer("abc", 3);
    struct Case {
        unsigned short first;
        unsigned short second;
        bool secondOpens;
    };
    const Case cases[] = {
        {fmOpenReadWrite | fmShareDenyWrite, fmOpenReadWrite | fmShareDenyWrite, false},
        {fmOpenReadWrite | fmShareDenyWrite, fmOpenRead | fmShareDenyNone, true},
        {fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyWrite, true},
        {fmOpenRead | fmShareDenyWrite, fmOpenReadWrite | fmShareDenyNone, false},
        {fmOpenRead | fmShareExclusive, fmOpenRead | fmShareDenyWrite, false},
        {fmOpenRead | fmShareDenyNone, fmOpenReadWrite | fmShareDenyNone, true},
    };
    for (const Case& c : cases) {
        TFileStream first(name, c.first);
        if (c.secondOpens) EXPECT_NO_THROW(TFileStream(name, c.second)) << c.first << " " << c.second;
        else EXPECT_THROW(TFileStream(name, c.second), EFOpenError) << c.first << " " << c.second;
    }
    TFileStream holder(name, fmOpenReadWrite | fmShareDenyWrite);
    EXPECT_THROW(TFileStream(name, fmCreate), EFCreateError);
    EXPECT_EQ(holder.Size(), 3);  // the failed create emptied nothing
}

TEST(MemoryStreamTest, ReadsWritesSeeksAndSizes) {
    TMemoryStream m;
    EXPECT_EQ(m.Memory(), nullptr);
    EXPECT_EQ(m.Write("abcdef", 6), 6);
    EXPECT_EQ(m.Seek(-2, soFromCurrent), 4);
    char two[2];
    EXPECT_EQ(m.Read(two, 5), 2);
    EXPECT_EQ(std::string(two, 2), "ef");
    EXPECT_EQ(m.Seek(-1, soFromBeginning), -1);
    EXPECT_EQ(m.Seek(1, 9), -1);
    EXPECT_EQ(m.Position(), 6);
    m.SetPosition(8);
    m.WriteBuffer("z", 1);
    EXPECT_EQ(std::string(static_cast<const char*>(m.Memory()), 9), std::string("abcdef\0\0z", 9));
    m.SetSize(3);
    EXPECT_EQ(m.Position(), 3);
    m.SetPosition(1);
    m.SetSize(10);
    EXPECT_EQ(m.Position(), 1);
    EXPECT_THROW(m.SetSize(-1), EStreamError);
    // Its own bytes may be written into it, even when that moves them.
    m.SetSize(3);
    m.SetPosition(3);
    for (int i = 0; i < 10; ++i) m.WriteBuffer(m.Memory(), m.Size());
    EXPECT_EQ(m.Size(), 3 << 10);
    EXPECT_EQ(std::string(static_cast<const char*>(m.Memory()) + 3069, 3), "abc");
    m.Clear();
    EXPECT_EQ(m.Size(), 0);
    EXPECT_EQ(m.Position(), 0);
}

TEST(MemoryStreamTest, RefusesToReachTwoGigabytes) {
    TMemoryStream m;
    EXPECT_EQ(m.Seek(INT_MAX, soFromBeginning), INT_MAX);
    EXPECT_EQ(m.Write("x", 1), 0);  // nothing allocated
    EXPECT_EQ(m.Size(), 0);
    EXPECT_EQ(m.Seek(1, soFromCurrent), -1);
    EXPECT_THROW(m.WriteBuffer("x", 1), EWriteError);
}

TEST(MemoryStreamTest, LoadsAndSavesStreamsAndFiles) {
    TTempDir dir;
    TMemoryStream m;
    m.WriteBuffer("\x83\x5C data", 7);
    m.SaveToFile(dir.File("m.bin"));
    TMemoryStream loaded;
    loaded.WriteBuffer("old", 3);
    loaded.LoadFromFile(dir.File("m.bin"));
    EXPECT_EQ(loaded.Position(), 0);
    EXPECT_EQ(ReadAll(loaded), std::string("\x83\x5C data", 7));
    EXPECT_THROW(loaded.LoadFromFile(dir.File("missing.bin")), EFOpenError);
    EXPECT_EQ(ReadAll(loaded), std::string("\x83\x5C data", 7));  // kept on failure

    TMemoryStream target;
    target.WriteBuffer(">", 1);
    m.SaveToStream(target);
    EXPECT_EQ(ReadAll(target), std::string(">\x83\x5C data", 8));
    TMemoryStream copy;
    copy.LoadFromStream(target);
    EXPECT_EQ(ReadAll(copy), ReadAll(target));
}

// A stream that ends early, for the failure paths.
class TShortStream : public TMemoryStream {
public:
    int Read(void* buffer, int count) override { return TMemoryStream::Read(buffer, count > 2 ? 2 : count); }
};

TEST(StreamTest, CopyFromMovesExactlyOrRaises) {
    TMemoryStream source;
    source.WriteBuffer("0123456789", 10);
    TMemoryStream target;
    EXPECT_EQ(target.CopyFrom(source, 0), 10);  // 0: the whole source from its start
    EXPECT_EQ(ReadAll(target), "0123456789");
    source.SetPosition(7);
    target.SetSize(0);
    EXPECT_EQ(target.CopyFrom(source, 3), 3);
    EXPECT_EQ(ReadAll(target), "789");
    EXPECT_THROW(target.CopyFrom(source, 1), EReadError);  // source at its end
    EXPECT_THROW(target.CopyFrom(source, -1), EReadError);

    TShortStream shorty;
    shorty.WriteBuffer("abcdef", 6);
    shorty.SetPosition(0);
    EXPECT_THROW(target.CopyFrom(shorty, 6), EReadError);
    TMemoryStream loaded;
    EXPECT_THROW(loaded.LoadFromStream(shorty), EReadError);
    EXPECT_EQ(loaded.Size(), 0);
}

// ---------------------------------------------------------------- message boxes

TEST(MessageBoxTest, DefaultAnswerFollowsGroupAndDefaultButton) {
    struct Case {
        int flags;
        int answer;
    };
    const Case cases[] = {
        {0x000, plat::IDOK},    {0x001, plat::IDOK},     {0x101, plat::IDCANCEL}, {0x201, plat::IDOK},
        {0x002, 3 /*abort*/},   {0x102, 4 /*retry*/},    {0x202, 5 /*ignore*/},   {0x003, plat::IDYES},
        {0x103, plat::IDNO},    {0x203, plat::IDCANCEL}, {0x004, plat::IDYES},    {0x104, plat::IDNO},
        {0x005, 4 /*retry*/},   {0x105, plat::IDCANCEL}, {0x006, plat::IDCANCEL}, {0x106, 10 /*try again*/},
        {0x206, 11 /*continue*/}, {0x00F, plat::IDOK},   {0x030, plat::IDOK},     {0x134, plat::IDNO},
        {0x300, plat::IDOK},
    };
    for (const Case& c : cases) EXPECT_EQ(DefaultAnswer(c.flags), c.answer) << std::hex << c.flags;
}

TEST(MessageBoxTest, ScriptedBoxesRecordAndAnswer) {
    TScriptedMessageBoxes boxes({plat::IDCANCEL, 42});
    EXPECT_EQ(boxes.Show(nullptr, "a", "A", 0x1), plat::IDCANCEL);
    EXPECT_EQ(boxes.Show(nullptr, "b", "B", 0x4), 42);
    EXPECT_EQ(boxes.Show(nullptr, "c", "C", 0x104), plat::IDNO);  // script used up
    ASSERT_EQ(boxes.Boxes().size(), 3u);
    EXPECT_EQ(boxes.Boxes()[2].Text, AnsiString("c"));
    EXPECT_EQ(boxes.Boxes()[2].Caption, AnsiString("C"));
    EXPECT_EQ(boxes.Boxes()[2].Flags, 0x104);
    boxes.Clear();
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(MessageBoxTest, ConsoleBoxesWriteUtf8) {
    std::ostringstream out;
    TConsoleMessageBoxes console(out);
    // "エラー" / "ソ\n確認" in cp932
    EXPECT_EQ(console.Show(nullptr, "\x83\x5C\n\x8A\x6D\x94\x46", "\x83\x47\x83\x89\x81\x5B", 0x101), plat::IDCANCEL);
    EXPECT_EQ(out.str(), "\xE3\x82\xA8\xE3\x83\xA9\xE3\x83\xBC: \xE3\x82\xBD\n\xE7\xA2\xBA\xE8\xAA\x8D\n");
}

// ---------------------------------------------------------------- application

// Installs a scripted back end on the global application for one test.
class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override { FPrevious = Application->SetMessageBoxBackend(&Boxes); }
    void TearDown() override {
        Application->SetMessageBoxBackend(FPrevious);
        SetApplicationGui(nullptr);
    }
    TScriptedMessageBoxes Boxes{{plat::IDCANCEL}};

private:
    TMessageBoxBackend* FPrevious = nullptr;
};

TEST_F(ApplicationTest, MessageBoxesGoThroughTheBackEnd) {
    EXPECT_EQ(Application->MessageBox("text", "caption", 0x101), plat::IDCANCEL);
    const AnsiString saved = Application->Title();
    Application->SetTitle("Kavrenta Test");
    Application->ShowException(Exception("\x83\x5C failed"));
    Application->SetTitle(saved);
    ASSERT_EQ(Boxes.Boxes().size(), 2u);
    EXPECT_EQ(Boxes.Boxes()[0].Text, AnsiString("text"));
    EXPECT_EQ(Boxes.Boxes()[0].Flags, 0x101);
    EXPECT_EQ(Boxes.Boxes()[1].Text, AnsiString("\x83\x5C failed"));
    EXPECT_EQ(Boxes.Boxes()[1].Caption, AnsiString("Kavrenta Test"));
    EXPECT_EQ(Boxes.Boxes()[1].Flags, int(plat::MB_OK | plat::MB_ICONSTOP));
    EXPECT_EQ(&Application->MessageBoxBackend(), &Boxes);
    TApplication* pointer = Application;
    EXPECT_EQ(pointer, &TheApplication());
}

TEST_F(ApplicationTest, CreateFormMakesTheFirstFormMain) {
    TApplication app;
    TTestForm* first = nullptr;
    TTestForm* second = nullptr;
    app.CreateForm(first);
    app.CreateForm(second);
    EXPECT_EQ(first->Owner(), &app);
    EXPECT_EQ(app.MainForm(), first);
    EXPECT_EQ(app.ComponentCount(), 2);
    app.Run();  // no GUI: returns at once
    delete first;
    EXPECT_EQ(app.MainForm(), nullptr);
}

// Records what the application asks of its GUI layer.
class TRecordingGui : public TApplicationGui {
public:
    void Initialize(TApplication& app) override {
        Calls.push_back("Initialize");
        app.SetHandle(this);
    }
    void TitleChanged(TApplication& app) override { Calls.push_back("Title " + app.Title().str()); }
    void Run(TApplication&) override { Calls.push_back("Run"); }
    void Terminate(TApplication&) override { Calls.push_back("Terminate"); }
    int MessageBox(TApplication&, const AnsiString& text, const AnsiString&, int) override {
        Calls.push_back("Box " + text.str());
        return Answer;
    }
    std::vector<std::string> Calls;
    int Answer = -1;
};

TEST_F(ApplicationTest, TheGuiLayerPlugsIn) {
    TRecordingGui gui;
    SetApplicationGui(&gui);
    TApplication app;
    app.Initialize();
    app.Initialize();
    app.SetTitle("T");
    app.Run();
    EXPECT_EQ(app.Handle(), &gui);
    // Without a back end of its own the application asks the GUI, and takes
    // the default back end's box when the GUI answers -1.
    gui.Answer = 77;
    EXPECT_EQ(app.MessageBox("shown by the GUI", "c", 0), 77);
    TScriptedMessageBoxes own;
    app.SetMessageBoxBackend(&own);
    EXPECT_EQ(app.MessageBox("scripted", "c", 0x4), plat::IDYES);
    app.Terminate();
    EXPECT_TRUE(app.Terminated());
    app.Run();  // terminated: no second loop
    EXPECT_EQ(gui.Calls, (std::vector<std::string>{"Initialize", "Title T", "Run", "Box shown by the GUI", "Terminate"}));
    EXPECT_EQ(own.Boxes().size(), 1u);
}

}  // namespace
