// quorvan-demo: shows what the utility unit's functions return for a few
// inputs. Texts of the unit are cp932; they are printed here with every
// double-byte character and every byte outside printable ASCII as \xNN, and
// the shell-open error box goes to the
// console message box back end (UTF-8 on stderr), so nothing waits for a click.
#include <cstdio>
#include <string>

#include "classlib/Forms.h"
#include "classlib/MessageBoxes.h"
#include "classlib/SysUtils.h"
#include "quorvan/Quorvan.h"

namespace {

void AppendHex(std::string& shown, unsigned char b) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", b);
    shown += hex;
}

std::string Shown(const char* text) {
    std::string shown = "\"";
    for (const char* p = text; *p; ++p) {
        const auto b = static_cast<unsigned char>(*p);
        if (IsCp932LeadByte(b) && p[1] != '\0') {
            // Both bytes, so that a trail byte 0x5C is not read as "\".
            AppendHex(shown, b);
            AppendHex(shown, static_cast<unsigned char>(*++p));
        } else if (b == '\n') {
            shown += "\\n";
        } else if (b == '\r') {
            shown += "\\r";
        } else if (b == '"' || b == '\\') {
            (shown += '\\') += static_cast<char>(b);
        } else if (b >= 0x20 && b < 0x7F) {
            shown += static_cast<char>(b);
        } else {
            AppendHex(shown, b);
        }
    }
    return shown + "\"";
}

std::string Shown(const AnsiString& text) { return Shown(text.c_str()); }

const char* YesNo(bool value) { return value ? "true" : "false"; }

void ShowFiles(const char* self) {
    std::printf("-- file and shell helpers\n");
    std::printf("FileIsExist(%s) = %s\n", Shown(self).c_str(), YesNo(FileIsExist(self)));
    const char* missing = "quorvan-demo-no-such-file.txt";
    std::printf("FileIsExist(%s) = %s\n", Shown(missing).c_str(), YesNo(FileIsExist(missing)));
    std::printf("VoFileExec(%s): the error box follows on stderr\n", Shown(missing).c_str());
    std::fflush(stdout);
    VoFileExec(missing);
}

void ShowMemory() {
    constexpr unsigned int kMiB = 1024 * 1024;
    std::printf("-- memory status (MiB; 4095 means the 32-bit field is full)\n");
    std::printf("TotalPhysicalMemory = %u\n", TotalPhysicalMemory() / kMiB);
    std::printf("AvailPhysicalMemory = %u\n", AvailPhysicalMemory() / kMiB);
    std::printf("TotalVirtualMemory  = %u\n", TotalVirtualMemory() / kMiB);
    std::printf("AvailVirtualMemory  = %u\n", AvailVirtualMemory() / kMiB);
}

void ShowText() {
    std::printf("-- text helpers\n");
    const struct {
        const char* src;
        unsigned int n;
        bool stopAtComma;
    } copies[] = {
        {"ab,cd", 10, true}, {"ab,cd", 10, false}, {"ab\rcd", 10, false}, {"abcdef", 4, false},
        {"a\x83\x5C", 2, false},  // "aソ": the double-byte character does not fit
        {"a\x83\x5C", 3, false},
    };
    for (const auto& c : copies) {
        char field[16];
        std::printf("hstrncpy(%s, n=%u, comma=%s) = %s\n", Shown(c.src).c_str(), c.n, YesNo(c.stopAtComma),
                    Shown(hstrncpy(field, c.src, c.n, c.stopAtComma)).c_str());
    }

    std::printf("Ansiprintf(\"%%d items, %%05.1f%%%%, %%s\", 3, 42.5, \"ok\") = %s\n",
                Shown(Ansiprintf("%d items, %05.1f%%, %s", 3, 42.5, "ok")).c_str());
    const std::string longText(2000, 'x');
    std::printf("Ansiprintf(\"%%s\", <2000 bytes>) has %d bytes (cut at 1023)\n",
                Ansiprintf("%s", longText.c_str()).Length());

    AnsiString lines[3];
    const char* text = "first\r\nsecond\nthird\nfourth";
    SeparateString(text, lines, 3);
    std::printf("SeparateString(%s, 3) = %s, %s, %s\n", Shown(text).c_str(), Shown(lines[0]).c_str(),
                Shown(lines[1]).c_str(), Shown(lines[2]).c_str());

    for (const char* hex : {"ff", "FFFFFFFF", "FFFFFFFFFF", "1G", "0x1F", ""})
        std::printf("HexToInt(%s) = %d\n", Shown(hex).c_str(), HexToInt(hex));
}

void ShowCounter() {
    std::printf("-- TCounter(10, 3)\n");
    TCounter counter(10, 3);
    for (int i = 0; i < 4; ++i) {
        const bool wrapped = counter.IncVal();
        std::printf("IncVal = %s, count %d\n", YesNo(wrapped), counter.GetCount());
    }
    const bool below = counter.SubVal(5);
    std::printf("SubVal(5) = %s, count %d\n", YesNo(below), counter.GetCount());
}

void ShowRandom() {
    std::printf("-- TRandom (every new generator gives the same sequence)\n");
    TRandom raw;
    std::printf("Rnd x10:");
    for (int i = 0; i < 10; ++i) std::printf(" %u", static_cast<unsigned int>(raw.Rnd()));
    TRandom uniform;
    std::printf("\nRandom(10) x5:");
    for (int i = 0; i < 5; ++i) std::printf(" %d", uniform.Random(10));
    TRandom normal;
    std::printf("\nNormalDistribution(100) x5:");
    for (int i = 0; i < 5; ++i) std::printf(" %d", normal.NormalDistribution(100));
    std::printf("\nRandom(0) = %d, NormalDistribution(4097) = %d\n", uniform.Random(0),
                normal.NormalDistribution(4097));
}

}  // namespace

int main(int argc, char** argv) {
    Application->SetMessageBoxBackend(&ConsoleMessageBoxes());
    ShowFiles(argc > 0 ? argv[0] : "quorvan-demo");
    ShowMemory();
    ShowText();
    ShowCounter();
    ShowRandom();
    std::fflush(stdout);
    return 0;
}
