// pack_reference PACK STEP...: the same changes the vopack tool makes, made
// with TVoPack's own operations, so a scenario can compare the two packs
// byte for byte. Steps:
//   new                    NewPack(PACK)
//   load                   LoadPack(PACK), writable
//   add NAMEHEX PATH       AddFile(name, PATH, compress)
//   store NAMEHEX PATH     AddFile(name, PATH, plain)
//   del NAMEHEX            DelFile(name)
//   copy FROM NAMEHEX NEWHEX   AddPack(new name, FROM opened read-only, name)
// Names are cp932 bytes in hex. EndPack at the end; exit 1 on any failure.
#include <cstdio>
#include <string>

#include "vopack/Vopack.h"

namespace {

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    TVoPack pack(nullptr);
    pack.SetReadOnly(false);
    bool ok = true;
    for (int i = 2; i < argc && ok; ++i) {
        const std::string step = argv[i];
        if (step == "new") {
            ok = pack.NewPack(argv[1]);
        } else if (step == "load") {
            ok = pack.LoadPack(argv[1]);
        } else if ((step == "add" || step == "store") && i + 2 < argc) {
            ok = pack.AddFile(FromHex(argv[i + 1]).c_str(), argv[i + 2], step == "add");
            i += 2;
        } else if (step == "del" && i + 1 < argc) {
            ok = pack.DelFile(FromHex(argv[++i]).c_str());
        } else if (step == "copy" && i + 3 < argc) {
            TVoPack from(nullptr);
            ok = from.LoadPack(argv[i + 1]) &&
                 pack.AddPack(FromHex(argv[i + 3]).c_str(), &from, FromHex(argv[i + 2]).c_str());
            i += 3;
        } else {
            ok = false;
        }
        if (!ok) std::fprintf(stderr, "pack_reference: step %s failed\n", step.c_str());
    }
    return pack.EndPack() && ok ? 0 : 1;
}
