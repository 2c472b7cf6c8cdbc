// Arbitrary bytes opened as a stream pack, the CRC mode taken from the first
// byte: every member listed, opened with and without expansion, read whole in
// uneven items, sought and read again, and made into a stream. Nothing may
// read or write outside its buffers, and a member that opens must deliver
// exactly its readable length.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "classlib/Forms.h"
#include "classlib/MessageBoxes.h"
#include "vopack/VoPack.h"

namespace {

#define CHECK(c) \
    if (!(c)) std::abort()

void ReadMember(TVoPack& pack, const char* name, bool expand) {
    VoFILE* h = pack.VofopenComp(name, expand);
    if (!h) return;
    const int length = h->IsComp && !h->Buffer ? h->StoredSize : h->Size;
    std::vector<unsigned char> buf(4096);
    int total = 0;
    for (;;) {
        const std::uint32_t n = pack.Vofread(buf.data(), 7, 4096 / 7, h);
        if (n == 0) break;
        total += static_cast<int>(n) * 7;
    }
    total += static_cast<int>(pack.Vofread(buf.data(), 1, 7, h));
    CHECK(total == length && h->Pos == length);
    for (int offset : {-3, 5, 1 << 30}) {
        for (int origin = 0; origin < 4; ++origin) {
            CHECK(pack.Vofseek(h, offset, origin));
            CHECK(h->Pos >= 0 && h->Pos <= length);
            pack.Vofread(buf.data(), 3, 100, h);
        }
    }
    CHECK(pack.Vofclose(h));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TScriptedMessageBoxes boxes;
    static TMessageBoxBackend* previous = Application->SetMessageBoxBackend(&boxes);
    (void)previous;
    boxes.Clear();
    if (size < 1) return 0;
    TMemoryStream stream;
    stream.Write(data + 1, static_cast<int>(size - 1));
    TVoPack pack(nullptr);
    pack.SetCrcMode(static_cast<TCrcMode>(data[0] % 3));
    if (!pack.LoadPackStream(&stream)) return 0;
    const int count = pack.GetFileNum();
    CHECK(count >= 0);
    for (int i = 0; i < count && i < 64; ++i) {
        char name[26];
        CHECK(pack.GetFileName(i, name));
        CHECK(std::strlen(name) <= 25);
        pack.GetFileSize(i);
        ReadMember(pack, name, true);
        ReadMember(pack, name, false);
        if (TMemoryStream* s = pack.VoMakeStream(name)) {
            CHECK(s->Position() == 0);
            delete s;
        }
    }
    return 0;
}
