// A sequence of pack operations decoded from the input, on a pack held in
// memory: add members of given bytes and names (streamed, compressed or not,
// or as stored bytes), delete them, copy them in from a second pack, close
// and reopen under each CRC mode. After every step each member added and not
// deleted must read back as the bytes it was added with, and a closed pack
// must load under every mode.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Forms.h"
#include "classlib/MessageBoxes.h"
#include "vopack/VoPack.h"

namespace {

#define CHECK(c) \
    if (!(c)) std::abort()

using Bytes = std::vector<unsigned char>;

class TInput {
public:
    TInput(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}
    bool Empty() const { return FPos >= FSize; }
    unsigned Byte() { return FPos < FSize ? FData[FPos++] : 0; }
    // A member's contents: a seed of input bytes repeated, so some compress.
    Bytes Contents() {
        const unsigned length = Byte() * (Byte() % 16 + 1);
        const unsigned period = Byte() % 64 + 1;
        Bytes seed(period);
        for (auto& b : seed) b = static_cast<unsigned char>(Byte());
        Bytes out(length);
        for (unsigned i = 0; i < length; ++i) out[i] = seed[i % period];
        return out;
    }
    // Mostly clean names (letters and digits, a short extension) that read
    // back as given; sometimes anything, to reach the refusals.
    std::string Name() {
        const unsigned kind = Byte();
        std::string name;
        if (kind % 8 == 0) {
            const unsigned length = Byte() % 30;
            for (unsigned i = 0; i < length; ++i) name += static_cast<char>(Byte() | 1);
            return name;
        }
        const char letters[] = "abcdeABCDE0123";
        const unsigned base = Byte() % 8 + 1;
        for (unsigned i = 0; i < base; ++i) name += letters[Byte() % 14];
        if (kind % 2 == 0) {
            name += '.';
            const unsigned ext = Byte() % 3 + 1;
            for (unsigned i = 0; i < ext; ++i) name += letters[Byte() % 14];
        }
        return name;
    }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPos = 0;
};

// Whether the name reads back from the catalogue exactly as given.
bool Clean(const std::string& name) {
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.') return false;
    const std::size_t dot = name.find('.');
    if (dot == std::string::npos) return !name.empty() && name.size() <= 21;
    const std::size_t ext = name.size() - dot - 1;
    return dot >= 1 && dot <= 21 && ext >= 1 && ext <= 3 && name.find('.', dot + 1) == std::string::npos;
}

std::string Upper(std::string name) {
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

TMemoryStream* StreamOf(const Bytes& bytes) {
    auto* s = new TMemoryStream;
    if (!bytes.empty()) s->Write(bytes.data(), static_cast<int>(bytes.size()));
    s->Seek(0, soFromBeginning);
    return s;
}

Bytes Contents(TVoPack& pack, const std::string& name) {
    std::unique_ptr<TMemoryStream> s(pack.VoMakeStream(name.c_str()));
    CHECK(s);
    const auto* p = static_cast<const unsigned char*>(s->Memory());
    return Bytes(p, p + s->Size());
}

// Members by upper-cased name: (name as added, contents).
using TModel = std::map<std::string, std::pair<std::string, Bytes>>;

void CheckPack(TVoPack& pack, const TModel& model, int entries) {
    CHECK(pack.GetFileNum() == entries);
    for (const auto& [key, member] : model) CHECK(Contents(pack, member.first) == member.second);
}

// A second pack to copy from: one compressed and one plain member.
struct TSourcePack {
    TMemoryStream Stream;
    TVoPack Pack{nullptr};
    Bytes Text, Noise;
    TSourcePack() {
        for (int i = 0; i < 3000; ++i) Text.push_back(static_cast<unsigned char>("source member "[i % 14]));
        for (int i = 0; i < 300; ++i) Noise.push_back(static_cast<unsigned char>(i * 131 + (i >> 3)));
        TVoPack writer(nullptr);
        writer.SetReadOnly(false);
        CHECK(writer.NewPackStream(&Stream));
        std::unique_ptr<TMemoryStream> text(StreamOf(Text)), noise(StreamOf(Noise));
        CHECK(writer.AddFileStream("text.txt", text.get(), 3000, plat::FILETIME{1, 2}, true));
        CHECK(writer.AddFileStream("noise.bin", noise.get(), 300, plat::FILETIME{3, 4}, true));
        CHECK(writer.EndPack());
        CHECK(Pack.LoadPackStream(&Stream));
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TScriptedMessageBoxes boxes;
    static TMessageBoxBackend* previous = Application->SetMessageBoxBackend(&boxes);
    (void)previous;
    static TSourcePack source;
    boxes.Clear();

    TInput in(data, size);
    TMemoryStream stream;
    TVoPack pack(nullptr);
    pack.SetReadOnly(false);
    CHECK(pack.NewPackStream(&stream));
    TModel model;
    int entries = 0;

    for (int step = 0; step < 64 && !in.Empty(); ++step) {
        const unsigned op = in.Byte() % 6;
        if (op <= 3) {  // an addition
            const std::string name = in.Name();
            const bool fresh = name.size() <= 25 && pack.CheckFileName(name.c_str()) < 0;
            Bytes contents;
            bool added = false;
            if (op <= 1) {
                contents = in.Contents();
                std::unique_ptr<TMemoryStream> s(StreamOf(contents));
                added = pack.AddFileStream(name.c_str(), s.get(), static_cast<int>(contents.size()),
                                           plat::FILETIME{static_cast<unsigned>(step), 0}, op == 1);
            } else if (op == 2) {
                contents = in.Contents();
                TVoFileTable3 info{};
                info.Size = info.StoredSize = static_cast<std::int32_t>(contents.size());
                std::unique_ptr<TMemoryStream> s(StreamOf(contents));
                added = pack.AddStored(name.c_str(), info, s.get());
            } else {
                const bool text = in.Byte() % 2 == 0;
                contents = text ? source.Text : source.Noise;
                added = pack.AddPack(name.c_str(), &source.Pack, text ? "text.txt" : "noise.bin");
            }
            CHECK(added == fresh);
            CHECK(added || pack.LastResult() == TVoPackResult::prNameRefused);
            if (added) {
                ++entries;
                if (Clean(name)) model[Upper(name)] = {name, contents};
            }
        } else if (op == 4) {  // a deletion, of a member known or not
            std::string name = in.Name();
            if (!model.empty() && in.Byte() % 2 == 0) {
                auto it = model.begin();
                std::advance(it, static_cast<long>(in.Byte() % model.size()));
                name = it->second.first;
            }
            const bool known = pack.CheckFileName(name.c_str()) >= 0;
            CHECK(pack.DelFile(name.c_str()) == known);
            if (known) model.erase(Upper(name));
        } else {  // close, check under every mode, reopen for changes
            CHECK(pack.EndPack());
            for (TCrcMode mode : {cmNon, cmPackAll, cmEachFile}) {
                TVoPack reader(nullptr);
                reader.SetCrcMode(mode);
                CHECK(reader.LoadPackStream(&stream));
                CheckPack(reader, model, entries);
            }
            pack.SetCrcMode(static_cast<TCrcMode>(in.Byte() % 3));
            CHECK(pack.EditPackStream(&stream));
        }
        CheckPack(pack, model, entries);
    }
    CHECK(pack.EndPack());
    CHECK(boxes.Boxes().empty());
    return 0;
}
