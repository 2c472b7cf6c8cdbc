// The installer: its path rules, the dialog's form resource, InstallFile over
// every case of an existing or missing file, and the OK and Cancel handlers,
// with scripted message boxes and temporary directories standing in for the
// system and current directories.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <chrono>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "classlib/Forms.h"
#include "classlib/MessageBoxes.h"
#include "classlib/gui/GuiClasses.h"
#include "classlib/WideText.h"
#include "installer/Mainf.h"
#include "installer/Paths.h"
#include "platform/Platform.h"

namespace {

namespace fs = std::filesystem;

// Expected texts, spelt here in UTF-16 and turned into cp932 by the system,
// independently of the program's own text table.
AnsiString Cp932(const wchar_t* text) { return Cp932FromWide(text); }

constexpr int kOK = plat::IDOK;
constexpr int kCancel = plat::IDCANCEL;
constexpr int kErrorFlags = 0x30;
constexpr int kOlderFlags = 0x1;
constexpr int kSameOrNewerFlags = 0x101;

struct TBox {
    AnsiString Text;
    AnsiString Caption;
    int Flags;
};

TBox SourceMissing(const AnsiString& name) { return {name + Cp932(L"がみつかりません。"), Cp932(L"エラー"), kErrorFlags}; }
TBox CopyFailed(const AnsiString& name) { return {name + Cp932(L"のコピーに失敗しました。"), Cp932(L"エラー"), kErrorFlags}; }
TBox AskOlder(const AnsiString& name) {
    return {Cp932(L"古いタイムスタンプの ") + name + Cp932(L" が見つかりました。\n上書きしますか？"), Cp932(L"確認"), kOlderFlags};
}
TBox AskSame(const AnsiString& name) {
    return {Cp932(L"タイムスタンプが同じ ") + name + Cp932(L" が見つかりました。\n上書きしますか？"), Cp932(L"確認"),
            kSameOrNewerFlags};
}
TBox AskNewer(const AnsiString& name) {
    return {Cp932(L"新しいタイムスタンプの ") + name + Cp932(L" が見つかりました。\n上書きしますか？"), Cp932(L"確認"),
            kSameOrNewerFlags};
}
TBox AllInstalled() { return {Cp932(L"インストールが終了しました。"), Cp932(L"終了"), 0}; }
TBox SomeNotInstalled() { return {Cp932(L"いくつかのファイルが\nインストールできませんでした。"), Cp932(L"終了"), 0}; }

std::string Hex(const AnsiString& s) {
    std::ostringstream out;
    for (unsigned char c : s.str()) out << std::hex << int(c) << ' ';
    return out.str();
}

void ExpectBoxes(const TScriptedMessageBoxes& boxes, const std::vector<TBox>& expected) {
    ASSERT_EQ(boxes.Boxes().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("box " + std::to_string(i));
        EXPECT_EQ(Hex(boxes.Boxes()[i].Text), Hex(expected[i].Text));
        EXPECT_EQ(Hex(boxes.Boxes()[i].Caption), Hex(expected[i].Caption));
        EXPECT_EQ(boxes.Boxes()[i].Flags, expected[i].Flags);
    }
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

plat::FILETIME FileTimeOf(unsigned long long ticks) {
    return {plat::DWORD(ticks & 0xFFFFFFFFu), plat::DWORD(ticks >> 32)};
}

void SetLastWriteTime(const fs::path& path, unsigned long long ticks) {
    plat::HANDLE file = plat::CreateFileA(path.string().c_str(), plat::GENERIC_WRITE, 0, nullptr, plat::OPEN_EXISTING,
                                          plat::FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, plat::INVALID_HANDLE_VALUE) << path;
    const plat::FILETIME time = FileTimeOf(ticks);
    EXPECT_TRUE(plat::SetFileTime(file, nullptr, nullptr, &time));
    plat::CloseHandle(file);
}

// 2001-01-01 and a day later, in 100 ns units since 1601.
constexpr unsigned long long kSourceTime = 126227808000000000ull;
constexpr unsigned long long kDay = 864000000000ull;

// A TMainForm whose directories and handler calls the test controls.
class TTestMainForm : public TMainForm {
public:
    using TMainForm::TMainForm;

    AnsiString SystemDirectory;
    AnsiString CurrentDirectory;
    // Given: the result to return, with nothing written.
    std::optional<unsigned> SystemResult;
    std::optional<unsigned> CurrentResult;

    // Recording only: the calls and the results to give.
    bool WatchOnly = false;
    std::vector<bool> Results;
    std::vector<std::pair<AnsiString, AnsiString>> Calls;

    bool InstallFile(AnsiString Source, AnsiString Dest) override {
        Calls.emplace_back(Source, Dest);
        if (WatchOnly) return Calls.size() <= Results.size() ? Results[Calls.size() - 1] : true;
        return TMainForm::InstallFile(Source, Dest);
    }

protected:
    unsigned ReadSystemDirectory(char* buffer, unsigned size) override {
        return Fill(SystemDirectory, SystemResult, buffer, size);
    }
    unsigned ReadCurrentDirectory(char* buffer, unsigned size) override {
        return Fill(CurrentDirectory, CurrentResult, buffer, size);
    }

private:
    static unsigned Fill(const AnsiString& directory, std::optional<unsigned> result, char* buffer, unsigned size) {
        if (result) return *result;
        if (unsigned(directory.Length()) >= size) return unsigned(directory.Length()) + 1;
        std::copy(directory.c_str(), directory.c_str() + directory.Length() + 1, buffer);
        return unsigned(directory.Length());
    }
};

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int serial = 0;
        Root = fs::temp_directory_path() /
               ("kavrenta-installer-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
                std::to_string(serial++));
        fs::remove_all(Root);
        fs::create_directories(Source());
        fs::create_directories(System());
        Form = std::make_unique<TTestMainForm>(nullptr);
        Form->OnClose = [this](TObject*) { ++Closed; };
        Form->CurrentDirectory = AnsiString(Source().string());
        Form->SystemDirectory = AnsiString(System().string());
    }
    void TearDown() override {
        Form.reset();
        Application->SetMessageBoxBackend(Previous);
        std::error_code ignored;
        fs::remove_all(Root, ignored);
    }

    // Installs the scripted boxes with their answers.
    TScriptedMessageBoxes& Answer(std::vector<int> answers) {
        Boxes = std::make_unique<TScriptedMessageBoxes>(std::move(answers));
        Previous = Application->SetMessageBoxBackend(Boxes.get());
        return *Boxes;
    }

    fs::path Source() const { return Root / "src"; }
    fs::path System() const { return Root / "sys"; }
    static AnsiString PathText(const fs::path& p) { return AnsiString(p.string()); }

    fs::path Root;
    std::unique_ptr<TTestMainForm> Form;
    std::unique_ptr<TScriptedMessageBoxes> Boxes;
    TMessageBoxBackend* Previous = nullptr;
    int Closed = 0;
};

// ---- path rules

TEST(InstallerPaths, TrailingBackslashJudgesWholeCharacters) {
    struct Case {
        const char* Directory;
        const char* Expected;
    } cases[] = {
        {"C:\\", "C:\\"},                                // a root keeps its one "\"
        {"C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\SYSTEM\\"},  // a plain directory gets one
        {"C:\\WINDOWS\\SYSTEM\\", "C:\\WINDOWS\\SYSTEM\\"},
        {"C:\\\x83\x5C", "C:\\\x83\x5C\\"},              // "C:\ソ": 0x5C is a trail byte
        {"C:\\\x83\x5C\\", "C:\\\x83\x5C\\"},
        {"C:\\\x95\x5C\x8E\xA6", "C:\\\x95\x5C\x8E\xA6\\"},  // "表示"
        {"C:\\A\x81", "C:\\A\x81\\"},                    // a lone lead byte at the end is no "\"
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Hex(c.Directory));
        EXPECT_EQ(Hex(AddTrailingBackslash(c.Directory)), Hex(c.Expected));
    }
}

TEST(InstallerPaths, FileNamePartFollowsLastSeparator) {
    struct Case {
        const char* Path;
        const char* Expected;
    } cases[] = {
        {"C:\\WINDOWS\\SYSTEM\\VCL35.BPL", "VCL35.BPL"},
        {"C:VCL35.BPL", "VCL35.BPL"},
        {"VCL35.BPL", "VCL35.BPL"},
        {"C:\\dir\\", ""},
        {"C:\\\x83\x5C" "A.BPL", "\x83\x5C" "A.BPL"},  // "ソA.BPL": its 0x5C separates nothing
        {"C:\\\x83\x5C\\B.BPL", "B.BPL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Hex(c.Path));
        EXPECT_EQ(Hex(FileNamePart(c.Path)), Hex(c.Expected));
    }
}

// ---- the form resource

TEST(InstallerForm, ResourceGivesTheDesignedDialog) {
    TMainForm form(nullptr);
    EXPECT_EQ(form.Name(), AnsiString("MainForm"));
    EXPECT_EQ(form.Left(), 469);
    EXPECT_EQ(form.Top(), 119);
    EXPECT_EQ(form.BorderStyle(), bsDialog);
    EXPECT_EQ(Hex(form.Caption()), Hex(Cp932(L"Kavrenta RTLインストール")));
    EXPECT_EQ(form.ClientWidth(), 360);
    EXPECT_EQ(form.ClientHeight(), 128);
    // "ＭＳ Ｐゴシック": full-width letters around one half-width space.
    EXPECT_EQ(Hex(form.Font().Name()), Hex("\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E"));
    EXPECT_EQ(form.Font().Height(), -15);
    EXPECT_EQ(form.Font().Charset(), fcShiftJis);
    EXPECT_EQ(form.Font().Color(), clWindowText);
    EXPECT_EQ(form.Font().Style(), 0u);
    EXPECT_FALSE(form.Scaled());
    EXPECT_EQ(form.PixelsPerInch(), 96);
    EXPECT_EQ(form.TextHeight(), 15);

    struct Control {
        TControl* Field;
        const char* Name;
        int Left, Top, Width, Height;
        AnsiString Caption;
    } controls[] = {
        {form.Label1, "Label1", 8, 8, 272, 15, Cp932(L"VCL35.BPL,VCL35JPN,BORLNDMM.DLLを")},
        {form.Label2, "Label2", 8, 32, 308, 15, Cp932(L"WindowsのSystemフォルダにインストールします。")},
        {form.Label3, "Label3", 8, 56, 109, 15, Cp932(L"よろしいですか？")},
        {form.BitBtn1, "BitBtn1", 180, 88, 80, 28, AnsiString("OK")},
        {form.BitBtn2, "BitBtn2", 268, 88, 80, 28, AnsiString("\xB7\xAC\xDD\xBE\xD9")},  // half-width ｷｬﾝｾﾙ
    };
    for (const Control& c : controls) {
        SCOPED_TRACE(c.Name);
        ASSERT_NE(c.Field, nullptr);
        EXPECT_EQ(c.Field->Name(), AnsiString(c.Name));
        EXPECT_EQ(c.Field->Owner(), &form);
        EXPECT_EQ(c.Field->Parent(), &form);
        EXPECT_EQ(c.Field->Left(), c.Left);
        EXPECT_EQ(c.Field->Top(), c.Top);
        EXPECT_EQ(c.Field->Width(), c.Width);
        EXPECT_EQ(c.Field->Height(), c.Height);
        EXPECT_EQ(Hex(c.Field->Caption()), Hex(c.Caption));
    }

    struct Button {
        TBitBtn* Field;
        TBitBtnKind Kind;
        int TabOrder;
        bool Default, Cancel;
        void (TMainForm::*Handler)(TObject*);
    } buttons[] = {
        {form.BitBtn1, bkOK, 0, true, false, &TMainForm::BitBtn1Click},
        {form.BitBtn2, bkCancel, 1, false, true, &TMainForm::BitBtn2Click},
    };
    for (const Button& b : buttons) {
        SCOPED_TRACE(b.Field->Name().str());
        EXPECT_EQ(b.Field->Kind(), b.Kind);
        EXPECT_EQ(b.Field->TabOrder(), b.TabOrder);
        EXPECT_EQ(b.Field->Default(), b.Default);
        EXPECT_EQ(b.Field->Cancel(), b.Cancel);
        EXPECT_TRUE(b.Field->OnClick == TNotifyEvent(&form, b.Handler));
    }
}

// ---- form reading of the GUI classes

// A form class that has no resource of its own.
class TFormWithoutResource : public TForm {
public:
    explicit TFormWithoutResource(TComponent* owner) : TForm(owner) { ReadFormResource(); }
    static const TClassInfo& StaticClassInfo() {
        static const TClassInfo info =
            TClassBuilder<TFormWithoutResource>("TFormWithoutResource", &TForm::StaticClassInfo()).Build();
        return info;
    }
    const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

TEST(InstallerForm, MissingResourceRaises) {
    EXPECT_THROW(TFormWithoutResource form(nullptr), EResNotFound);
}

// A form designed at half the screen's resolution: Scaled doubles its
// layout and font, Scaled = False keeps them as designed.
TEST(InstallerForm, ScaledFollowsTheScreen) {
    const int screen = ScreenPixelsPerInch();
    if (screen <= 0) GTEST_SKIP() << "no screen resolution";
    struct Case {
        const char* Scaled;
        int Factor;  // the layout's multiplier, times 2
    } cases[] = {{"True", 2}, {"False", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Scaled);
        RegisterGuiClasses();
        const std::string text = std::string("object Scaling: TForm\n  ClientWidth = 100\n  ClientHeight = 60\n") +
                                 "  Font.Height = -10\n  Scaled = " + c.Scaled + "\n  PixelsPerInch = " +
                                 std::to_string(screen / 2) + "\n" +
                                 "  object Label: TLabel\n    Left = 10\n    Top = 20\n    Width = 30\n    Height = 8\n"
                                 "  end\nend\n";
        std::unique_ptr<TComponent> root(TextToComponent(AnsiString(text)));
        auto* form = dynamic_cast<TForm*>(root.get());
        ASSERT_NE(form, nullptr);
        auto* label = dynamic_cast<TLabel*>(form->FindComponent("Label"));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->Parent(), form);
        const int f = c.Factor;
        EXPECT_EQ(form->ClientWidth(), 100 * f);
        EXPECT_EQ(form->ClientHeight(), 60 * f);
        EXPECT_EQ(form->Font().Height(), -10 * f);
        EXPECT_EQ(label->Left(), 10 * f);
        EXPECT_EQ(label->Top(), 20 * f);
        EXPECT_EQ(label->Width(), 30 * f);
        EXPECT_EQ(form->PixelsPerInch(), f == 2 ? screen : screen / 2);
    }
}

// ---- InstallFile

enum class TDest { Absent, Older, Same, Newer, HeldExclusive, HeldWriting, HeldDenyingWrite, Directory };

TEST_F(InstallerTest, InstallFileCases) {
    const AnsiString name("VCL35.BPL");
    struct Case {
        const char* Title;
        TDest Dest;
        std::vector<int> Answers;
        std::vector<TBox> Boxes;
        bool Result;
        bool Copied;
    } cases[] = {
        {"absent", TDest::Absent, {}, {}, true, true},
        {"older, OK", TDest::Older, {kOK}, {AskOlder(name)}, true, true},
        {"older, Cancel", TDest::Older, {kCancel}, {AskOlder(name)}, true, false},
        {"same, OK", TDest::Same, {kOK}, {AskSame(name)}, true, true},
        {"same, Cancel", TDest::Same, {kCancel}, {AskSame(name)}, true, false},
        {"newer, OK", TDest::Newer, {kOK}, {AskNewer(name)}, true, true},
        {"newer, Cancel", TDest::Newer, {kCancel}, {AskNewer(name)}, true, false},
        // The existence test cannot open it either: no question; the copy fails.
        {"held exclusively", TDest::HeldExclusive, {}, {CopyFailed(name)}, false, false},
        // Being written by another that shares writing: its time cannot be
        // read, so it counts as older; the copy, sharing too, goes through.
        {"being written, OK", TDest::HeldWriting, {kOK}, {AskOlder(name)}, true, true},
        {"being written, Cancel", TDest::HeldWriting, {kCancel}, {AskOlder(name)}, true, false},
        // Readable, so the times decide; writing is refused.
        {"open denying write, OK", TDest::HeldDenyingWrite, {kOK}, {AskNewer(name), CopyFailed(name)}, false, false},
        // No question for a directory; the copy fails.
        {"directory", TDest::Directory, {}, {CopyFailed(name)}, false, false},
    };
    const fs::path source = Source() / "VCL35.BPL";
    const fs::path dest = System() / "VCL35.BPL";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Title);
        fs::remove_all(dest);
        WriteAll(source, "new bytes");
        SetLastWriteTime(source, kSourceTime);
        plat::HANDLE holder = plat::INVALID_HANDLE_VALUE;
        switch (c.Dest) {
            case TDest::Absent:
                break;
            case TDest::Directory:
                fs::create_directory(dest);
                break;
            default: {
                WriteAll(dest, "old bytes");
                const unsigned long long time = c.Dest == TDest::Older ? kSourceTime - kDay
                                                : c.Dest == TDest::Same ? kSourceTime
                                                                        : kSourceTime + kDay;
                SetLastWriteTime(dest, time);
                if (c.Dest == TDest::HeldExclusive)
                    holder = plat::CreateFileA(dest.string().c_str(), plat::GENERIC_READ | plat::GENERIC_WRITE, 0,
                                               nullptr, plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL, nullptr);
                if (c.Dest == TDest::HeldWriting)
                    holder = plat::CreateFileA(dest.string().c_str(), plat::GENERIC_WRITE,
                                               plat::FILE_SHARE_READ | plat::FILE_SHARE_WRITE, nullptr,
                                               plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL, nullptr);
                if (c.Dest == TDest::HeldDenyingWrite)
                    holder = plat::CreateFileA(dest.string().c_str(), plat::GENERIC_READ, plat::FILE_SHARE_READ,
                                               nullptr, plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL, nullptr);
                if (c.Dest >= TDest::HeldExclusive && c.Dest <= TDest::HeldDenyingWrite) {
                    ASSERT_NE(holder, plat::INVALID_HANDLE_VALUE);
                }
                break;
            }
        }
        TScriptedMessageBoxes& boxes = Answer(c.Answers);
        EXPECT_EQ(Form->InstallFile(PathText(source), PathText(dest)), c.Result);
        if (holder != plat::INVALID_HANDLE_VALUE) plat::CloseHandle(holder);
        ExpectBoxes(boxes, c.Boxes);
        if (c.Dest == TDest::Directory) EXPECT_TRUE(fs::is_directory(dest));
        else if (c.Dest != TDest::Absent) EXPECT_EQ(ReadAll(dest), c.Copied ? "new bytes" : "old bytes");
        else EXPECT_EQ(ReadAll(dest), "new bytes");
        Application->SetMessageBoxBackend(Previous);
    }
}

TEST_F(InstallerTest, MissingSourceLeavesDestinationAlone) {
    const fs::path dest = System() / "VCL35.JPN";
    WriteAll(dest, "old bytes");
    TScriptedMessageBoxes& boxes = Answer({});
    EXPECT_FALSE(Form->InstallFile(PathText(Source() / "VCL35.JPN"), PathText(dest)));
    ExpectBoxes(boxes, {SourceMissing("VCL35.JPN")});
    EXPECT_EQ(ReadAll(dest), "old bytes");
}

TEST_F(InstallerTest, BoxesNameTheFilePartOfTheSource) {
    struct Case {
        const char* Source;
        const char* Name;
    } cases[] = {
        {"Q:\\missing\\BORLNDMM.DLL", "BORLNDMM.DLL"},
        {"Q:BORLNDMM.DLL", "BORLNDMM.DLL"},
        {"Q:\\missing\\\x83\x5C" "A.BPL", "\x83\x5C" "A.BPL"},  // "ソA.BPL" whole
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TScriptedMessageBoxes& boxes = Answer({});
        EXPECT_FALSE(Form->InstallFile(c.Source, PathText(System() / "X")));
        ExpectBoxes(boxes, {SourceMissing(c.Name)});
        Application->SetMessageBoxBackend(Previous);
    }
}

TEST_F(InstallerTest, ReadLastWriteTimeIsZeroForWhatCannotBeOpened) {
    const fs::path file = Source() / "VCL35.BPL";
    WriteAll(file, "x");
    SetLastWriteTime(file, kSourceTime);
    plat::FILETIME time{1, 1};
    Form->ReadLastWriteTime(PathText(file), &time);
    EXPECT_EQ(time.dwLowDateTime, FileTimeOf(kSourceTime).dwLowDateTime);
    EXPECT_EQ(time.dwHighDateTime, FileTimeOf(kSourceTime).dwHighDateTime);

    time = {1, 1};
    Form->ReadLastWriteTime(PathText(Source() / "absent"), &time);
    EXPECT_EQ(time.dwLowDateTime, 0u);
    EXPECT_EQ(time.dwHighDateTime, 0u);
}

// ---- the OK and Cancel handlers

TEST_F(InstallerTest, OkInstallsAllThreeAndCloses) {
    for (const char* name : {"VCL35.BPL", "VCL35.JPN", "BORLNDMM.DLL"}) WriteAll(Source() / name, std::string("sample ") + name);
    TScriptedMessageBoxes& boxes = Answer({});
    Form->BitBtn1Click(Form->BitBtn1);
    ExpectBoxes(boxes, {AllInstalled()});
    for (const char* name : {"VCL35.BPL", "VCL35.JPN", "BORLNDMM.DLL"})
        EXPECT_EQ(ReadAll(System() / name), std::string("sample ") + name);
    EXPECT_EQ(Closed, 1);
}

// The first file exists (newer) and is kept, the second is missing, the third
// is copied: every box in order, then the closing message of a failure.
TEST_F(InstallerTest, OkGoesOnPastAMissingFileAndADeclinedOverwrite) {
    WriteAll(Source() / "VCL35.BPL", "new BPL");
    SetLastWriteTime(Source() / "VCL35.BPL", kSourceTime);
    WriteAll(System() / "VCL35.BPL", "old BPL");
    SetLastWriteTime(System() / "VCL35.BPL", kSourceTime + kDay);
    WriteAll(Source() / "BORLNDMM.DLL", "new DLL");
    TScriptedMessageBoxes& boxes = Answer({kCancel});
    Form->BitBtn1Click(Form->BitBtn1);
    ExpectBoxes(boxes, {AskNewer("VCL35.BPL"), SourceMissing("VCL35.JPN"), SomeNotInstalled()});
    EXPECT_EQ(ReadAll(System() / "VCL35.BPL"), "old BPL");
    EXPECT_FALSE(fs::exists(System() / "VCL35.JPN"));
    EXPECT_EQ(ReadAll(System() / "BORLNDMM.DLL"), "new DLL");
    EXPECT_EQ(Closed, 1);
}

TEST_F(InstallerTest, DeclinedOverwriteAloneStillEndsInSuccess) {
    for (const char* name : {"VCL35.BPL", "VCL35.JPN", "BORLNDMM.DLL"}) WriteAll(Source() / name, "new");
    SetLastWriteTime(Source() / "VCL35.JPN", kSourceTime);
    WriteAll(System() / "VCL35.JPN", "old");
    SetLastWriteTime(System() / "VCL35.JPN", kSourceTime);
    TScriptedMessageBoxes& boxes = Answer({kCancel});
    Form->BitBtn1Click(Form->BitBtn1);
    ExpectBoxes(boxes, {AskSame("VCL35.JPN"), AllInstalled()});
    EXPECT_EQ(ReadAll(System() / "VCL35.JPN"), "old");
}

// The handler's loop, watched: paths built by the trailing-"\" rule, the
// files in their order, any false turning the closing message.
TEST_F(InstallerTest, OkBuildsPathsAndFoldsResults) {
    struct Case {
        const char* Title;
        const char* System;
        const char* Current;
        std::vector<bool> Results;
        const char* SystemPrefix;
        const char* SourcePrefix;
        bool AllGood;
    } cases[] = {
        {"roots", "C:\\", "D:\\", {true, true, true}, "C:\\", "D:\\", true},
        {"plain directories", "C:\\WINDOWS\\SYSTEM", "D:\\RTL", {true, false, true}, "C:\\WINDOWS\\SYSTEM\\",
         "D:\\RTL\\", false},
        {"trail byte 0x5C", "C:\\\x83\x5C", "D:\\\x83\x5C\\", {false, true, true}, "C:\\\x83\x5C\\", "D:\\\x83\x5C\\",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Title);
        Form->WatchOnly = true;
        Form->Results = c.Results;
        Form->Calls.clear();
        Form->SystemDirectory = c.System;
        Form->CurrentDirectory = c.Current;
        TScriptedMessageBoxes& boxes = Answer({});
        Form->BitBtn1Click(Form->BitBtn1);
        const char* names[] = {"VCL35.BPL", "VCL35.JPN", "BORLNDMM.DLL"};
        ASSERT_EQ(Form->Calls.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(Hex(Form->Calls[i].first), Hex(AnsiString(c.SourcePrefix) + names[i]));
            EXPECT_EQ(Hex(Form->Calls[i].second), Hex(AnsiString(c.SystemPrefix) + names[i]));
        }
        ExpectBoxes(boxes, {c.AllGood ? AllInstalled() : SomeNotInstalled()});
        Application->SetMessageBoxBackend(Previous);
    }
}

TEST_F(InstallerTest, UnreadableDirectoryInstallsNothing) {
    struct Case {
        const char* Title;
        std::optional<unsigned> SystemResult, CurrentResult;
        const wchar_t* Text;
    } cases[] = {
        {"system directory fails", 0u, std::nullopt, L"システムフォルダが取得できません。"},
        {"system directory too long", 300u, std::nullopt, L"システムフォルダが取得できません。"},
        {"current directory fails", std::nullopt, 0u, L"カレントフォルダが取得できません。"},
        {"current directory too long", std::nullopt, 261u, L"カレントフォルダが取得できません。"},
    };
    WriteAll(Source() / "VCL35.BPL", "new");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Title);
        Closed = 0;
        Form->SystemResult = c.SystemResult;
        Form->CurrentResult = c.CurrentResult;
        TScriptedMessageBoxes& boxes = Answer({});
        Form->BitBtn1Click(Form->BitBtn1);
        ExpectBoxes(boxes, {{Cp932(c.Text), Cp932(L"エラー"), kErrorFlags}});
        EXPECT_TRUE(Form->Calls.empty());
        EXPECT_FALSE(fs::exists(System() / "VCL35.BPL"));
        EXPECT_EQ(Closed, 1);
        Application->SetMessageBoxBackend(Previous);
    }
}

// The longest path that fits the 260-byte buffer is used.
TEST_F(InstallerTest, DirectoryFillingTheBufferIsAccepted) {
    Form->WatchOnly = true;
    Form->SystemDirectory = AnsiString(std::string(259, 'S'));
    Answer({});
    Form->BitBtn1Click(Form->BitBtn1);
    ASSERT_EQ(Form->Calls.size(), 3u);
    EXPECT_EQ(Form->Calls[0].second, AnsiString(std::string(259, 'S') + "\\VCL35.BPL"));
}

TEST_F(InstallerTest, CancelClosesWithoutABox) {
    WriteAll(Source() / "VCL35.BPL", "new");
    TScriptedMessageBoxes& boxes = Answer({});
    Form->BitBtn2Click(Form->BitBtn2);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(Form->Calls.empty());
    EXPECT_EQ(Closed, 1);
}

}  // namespace
