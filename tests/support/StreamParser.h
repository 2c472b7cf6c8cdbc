// An independent, strict reading of the Ostrel stream format: every token with
// its place in the stream, the group starts, the decoded bytes, or the first
// breach of the format's bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "tests/support/Bytes.h"

namespace testsupport {

struct TToken {
    bool Match;
    int Length;
    int Distance;
    std::size_t Offset;  // where its bytes start in the stream
    std::size_t Size;
};

struct TParsed {
    bool Ok = false;
    std::string Error;
    std::vector<TToken> Tokens;
    std::set<std::size_t> GroupStarts;  // offsets of flag words, plus the stream's end
    Bytes Output;
};

// An independent reading of the format, strict about its bounds.
inline TParsed Parse(const Bytes& s, int decodedSize) {
    TParsed r;
    std::size_t at = 0;
    auto fail = [&](const std::string& why) {
        r.Error = why + " at " + std::to_string(at);
        return r;
    };
    while (static_cast<int>(r.Output.size()) < decodedSize) {
        if (at + 4 > s.size()) return fail("flag word cut");
        r.GroupStarts.insert(at);
        const std::uint32_t flags = s[at] | s[at + 1] << 8 | s[at + 2] << 16 | std::uint32_t(s[at + 3]) << 24;
        at += 4;
        int t = 0;
        for (; t < 32 && static_cast<int>(r.Output.size()) < decodedSize; ++t) {
            TToken tok{};
            tok.Offset = at;
            tok.Match = (flags >> (31 - t) & 1) != 0;
            if (at >= s.size()) return fail("token cut");
            if (!tok.Match) {
                tok.Length = 1;
                r.Output.push_back(s[at++]);
            } else {
                const int code = s[at++];
                const int h = code >> 4, d = code & 15;
                if (h == 15) {
                    if (at + 2 > s.size()) return fail("length cut");
                    tok.Length = s[at] | s[at + 1] << 8;
                    at += 2;
                } else if (h == 14) {
                    if (at + 1 > s.size()) return fail("length cut");
                    tok.Length = s[at++];
                } else {
                    tok.Length = h + 1;
                }
                if (d >= 10) {
                    if (at + 1 > s.size()) return fail("distance cut");
                    tok.Distance = (d - 10) * 256 + s[at++];
                } else {
                    tok.Distance = d + 1;
                }
                if (tok.Length < 1 || tok.Length > 8192) return fail("bad length");
                if (tok.Distance < 1 || tok.Distance > 1535 || tok.Distance > static_cast<int>(r.Output.size()))
                    return fail("bad distance");
                if (static_cast<int>(r.Output.size()) + tok.Length > decodedSize) return fail("past the end");
                for (int i = 0; i < tok.Length; ++i) r.Output.push_back(r.Output[r.Output.size() - tok.Distance]);
            }
            tok.Size = at - tok.Offset;
            r.Tokens.push_back(tok);
        }
        if (t < 32 && (flags << t) != 0) return fail("flag bits after the last token");
    }
    if (at != s.size()) return fail("bytes after the last token");
    r.GroupStarts.insert(at);
    r.Ok = true;
    return r;
}

}  // namespace testsupport
