#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "classlib/Classes.h"
#include "tests/support/PackBuilder.h"
#include "vopack/VoPack.h"

namespace {

using namespace packtest;
namespace fs = std::filesystem;

Bytes Repetitive(int n) {
    Bytes b(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) b[static_cast<std::size_t>(i)] = static_cast<unsigned char>("component "[i % 10]);
    return b;
}

std::string FileName(const char* stem) { return std::string("VoPackComponentTest_") + stem + ".pak"; }

void WriteFile(const std::string& name, const Bytes& bytes) {
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes StreamBytes(TMemoryStream* s) {
    const auto* p = static_cast<const unsigned char*>(s->Memory());
    return Bytes(p, p + s->Size());
}

// A pack of a plain and a compressed member.
std::string MakePack(const char* stem) {
    const std::string name = FileName(stem);
    WriteFile(name, TPackBuilder().Plain("plain.txt", Bytes{1, 2, 3}).Compressed("comp.txt", Repetitive(5000)).Build());
    return name;
}

TEST(VoPackComponent, PackNameOpensAndClosesPacks) {
    const std::string name = MakePack("names");
    TVoPack pack(nullptr);
    EXPECT_TRUE(pack.OpenPack(""));  // nothing open: nothing to do
    EXPECT_FALSE(pack.PackOpen());

    pack.SetPackName(name.c_str());
    EXPECT_TRUE(pack.PackOpen());
    EXPECT_EQ(pack.PackName(), AnsiString(name.c_str()));
    EXPECT_EQ(pack.GetFileNum(), 2);

    pack.SetPackName("");
    EXPECT_FALSE(pack.PackOpen());
    EXPECT_TRUE(pack.PackName().IsEmpty());

    // A name that is no pack leaves the component closed, even when one was open.
    pack.SetPackName(name.c_str());
    const std::string missing = FileName("missing");
    pack.SetPackName(missing.c_str());
    EXPECT_FALSE(pack.PackOpen());
    EXPECT_TRUE(pack.PackName().IsEmpty());
    EXPECT_FALSE(pack.OpenPack(missing.c_str()));
    EXPECT_FALSE(fs::exists(missing));  // OpenPack never creates
}

TEST(VoPackComponent, ClosingThroughPackNameWritesAModifiedPackBack) {
    const std::string name = FileName("writeback");
    WriteFile("VoPackComponentTest_member", Bytes{9, 8, 7});
    {
        TVoPack pack(nullptr);
        pack.SetReadOnly(false);
        ASSERT_TRUE(pack.NewPack(name.c_str()));
        ASSERT_TRUE(pack.AddFile("m", "VoPackComponentTest_member", false));
        EXPECT_TRUE(pack.OpenPack(""));
        EXPECT_FALSE(pack.PackOpen());
    }
    TVoPack check(nullptr);
    ASSERT_TRUE(check.OpenPack(name.c_str()));
    EXPECT_EQ(check.GetFileNum(), 1);
}

TEST(VoPackComponent, FileNameMakesOneMemberCurrent) {
    const std::string name = MakePack("files");
    TVoPack pack(nullptr);
    ASSERT_TRUE(pack.OpenPack(name.c_str()));
    EXPECT_TRUE(pack.OpenFile(""));
    EXPECT_EQ(pack.FileStream(), nullptr);

    pack.SetFileName("COMP.TXT");
    ASSERT_NE(pack.FileStream(), nullptr);
    EXPECT_EQ(pack.FileName(), AnsiString("COMP.TXT"));
    EXPECT_EQ(pack.FileStream()->Position(), 0);
    EXPECT_EQ(StreamBytes(pack.FileStream()), Repetitive(5000));

    // A member that cannot be opened leaves none current.
    EXPECT_FALSE(pack.OpenFile("missing.txt"));
    EXPECT_EQ(pack.FileStream(), nullptr);
    EXPECT_TRUE(pack.FileName().IsEmpty());

    ASSERT_TRUE(pack.OpenFile("plain.txt"));
    EXPECT_EQ(StreamBytes(pack.FileStream()), (Bytes{1, 2, 3}));
    pack.SetFileName("");
    EXPECT_EQ(pack.FileStream(), nullptr);
    EXPECT_TRUE(pack.FileName().IsEmpty());

    ASSERT_TRUE(pack.OpenFile("plain.txt"));
    pack.CloseFile();
    EXPECT_EQ(pack.FileStream(), nullptr);
    EXPECT_TRUE(pack.FileName().IsEmpty());

    // Closing the pack drops the current member.
    ASSERT_TRUE(pack.OpenFile("plain.txt"));
    pack.ClosePack();
    EXPECT_EQ(pack.FileStream(), nullptr);
    EXPECT_TRUE(pack.FileName().IsEmpty());
    EXPECT_FALSE(pack.OpenFile("plain.txt"));  // no pack open
}

TEST(VoPackComponent, ReadOnlyChangesOnlyWhileClosed) {
    const std::string name = MakePack("readonly");
    WriteFile("VoPackComponentTest_extra", Bytes{5});
    TVoPack pack(nullptr);
    ASSERT_TRUE(pack.OpenPack(name.c_str()));
    pack.SetReadOnly(false);
    EXPECT_TRUE(pack.ReadOnly());
    EXPECT_FALSE(pack.AddFile("extra", "VoPackComponentTest_extra", false));
    pack.ClosePack();
    pack.SetReadOnly(false);
    EXPECT_FALSE(pack.ReadOnly());
    ASSERT_TRUE(pack.OpenPack(name.c_str()));
    EXPECT_TRUE(pack.AddFile("extra", "VoPackComponentTest_extra", false));
}

TEST(VoPackComponent, FormFilesStoreOnlyWhatDiffersFromTheDefaults) {
    Vopack::Register();
    TVoPack pack(nullptr);
    pack.SetName("VoPack1");
    const std::string defaults = ComponentToText(pack).c_str();
    EXPECT_EQ(defaults.find("ReadOnly"), std::string::npos) << defaults;
    EXPECT_EQ(defaults.find("CrcMode"), std::string::npos) << defaults;
    EXPECT_EQ(defaults.find("ProgPercent"), std::string::npos) << defaults;

    // ProgPercent is never stored, whatever its value.
    pack.SetOnProgress([](TObject*) {});
    TMemoryStream source, dest;
    source.Write("abc", 3);
    source.Seek(0, soFromBeginning);
    pack.FileCopy(&dest, &source, 3);
    ASSERT_EQ(pack.ProgPercent(), 100);
    pack.SetOnProgress(TNotifyEvent{});

    pack.SetReadOnly(false);
    pack.SetCrcMode(cmEachFile);
    const std::string changed = ComponentToText(pack).c_str();
    EXPECT_NE(changed.find("ReadOnly = False"), std::string::npos) << changed;
    EXPECT_NE(changed.find("CrcMode = cmEachFile"), std::string::npos) << changed;
    EXPECT_EQ(changed.find("ProgPercent"), std::string::npos) << changed;

    // Loading sets the properties through their setters and opens nothing.
    std::unique_ptr<TComponent> loaded(TextToComponent(AnsiString(changed.c_str())));
    auto* read = dynamic_cast<TVoPack*>(loaded.get());
    ASSERT_NE(read, nullptr);
    EXPECT_FALSE(read->ReadOnly());
    EXPECT_EQ(read->CrcMode(), cmEachFile);
    EXPECT_FALSE(read->PackOpen());
}

TEST(VoPackComponent, RegisterPutsTheComponentOnItsPalettePage) {
    Vopack::Register();
    Vopack::Register();  // once per page, however often
    const auto pages = PalettePages();
    EXPECT_NE(std::find(pages.begin(), pages.end(), AnsiString("Quorvan")), pages.end());
    const auto names = PaletteClassNames("Quorvan");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0], AnsiString("TVoPack"));
}

}  // namespace
