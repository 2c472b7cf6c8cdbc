// vopack list PACK [--all] [--json]: the catalogue, one line per member in
// catalogue order, then the totals and the ratio.
#include <cstdio>
#include <string>

#include "ToolCommands.h"
#include "ToolNames.h"
#include "ToolPack.h"

namespace vopacktool {

namespace {

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Hex(const std::string& bytes) {
    std::string out;
    for (const char c : bytes) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(c));
        out += pair;
    }
    return out;
}

void PrintJson(const TMemberInfo& m) {
    std::printf("{\"index\":%d,\"name\":%s,\"name_cp932\":\"%s\",\"deleted\":%s", m.Index,
                JsonString(DisplayName(m.Name)).c_str(), Hex(m.Name).c_str(), m.Deleted ? "true" : "false");
    if (!m.Deleted) {
        std::printf(",\"size\":%lld,\"stored_size\":%lld,\"method\":\"%s\",\"time\":\"%s\",\"crc\":", 
                    static_cast<long long>(m.Size), static_cast<long long>(m.StoredSize),
                    m.IsComp ? "compressed" : "stored", m.HasTime ? IsoTime(m.Time).c_str() : "");
        if (m.HasCrc)
            std::printf("\"%04X\"", static_cast<unsigned>(m.Crc));
        else
            std::printf("null");
        std::printf(",\"hidden\":%s", m.Shadowed ? "true" : "false");
    }
    std::printf("}\n");
}

void PrintLine(const TMemberInfo& m) {
    if (m.Deleted) {
        std::printf("%12s %12s  %-10s  %-20s  (deleted)\n", "-", "-", "-", "-");
        return;
    }
    std::printf("%12lld %12lld  %-10s  %-20s  %s%s\n", static_cast<long long>(m.Size),
                static_cast<long long>(m.StoredSize), m.IsComp ? "compressed" : "stored",
                m.HasTime ? IsoTime(m.Time).c_str() : "-", DisplayName(m.Name).c_str(),
                m.Shadowed ? "  (hidden by an earlier member)" : "");
}

}  // namespace

int RunList(const TOptions& options) {
    TProgress progress(!options.Quiet && !options.Json);
    TPackReader reader(progress);
    if (!reader.Open(options.Arguments[0], options.CrcMode)) return ExitFailure;
    long long size = 0;
    long long stored = 0;
    int count = 0;
    if (!options.Json) std::printf("%12s %12s  %-10s  %-20s  %s\n", "Size", "Stored", "Method", "Time (UTC)", "Name");
    for (const TMemberInfo& m : reader.Members()) {
        if (m.Deleted && !options.All) continue;
        if (options.Json) {
            PrintJson(m);
        } else {
            PrintLine(m);
        }
        if (m.Deleted) continue;
        size += m.Size;
        stored += m.StoredSize;
        ++count;
    }
    if (!options.Json) {
        const double ratio = size > 0 ? 100.0 * static_cast<double>(stored) / static_cast<double>(size) : 100.0;
        std::printf("%12lld %12lld  %5.1f%%      %d member%s\n", size, stored, ratio, count, count == 1 ? "" : "s");
    }
    return ExitOk;
}

}  // namespace vopacktool
