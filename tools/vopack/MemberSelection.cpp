#include "MemberSelection.h"

#include "ToolFiles.h"
#include "ToolNames.h"
#include "VopackToolTexts.h"
#include "classlib/Cp932Utf8.h"

namespace vopacktool {

bool SelectMembers(const std::vector<TMemberInfo>& members, const std::vector<std::string>& patterns,
                   std::vector<bool>& chosen) {
    chosen.assign(members.size(), patterns.empty());
    for (std::size_t i = 0; i < members.size(); ++i)
        if (members[i].Deleted) chosen[i] = false;
    bool allMatched = true;
    for (const std::string& pattern : patterns) {
        std::string cp932;
        const bool convertible = Utf8ToCp932(pattern, cp932);
        bool matched = false;
        for (std::size_t i = 0; i < members.size(); ++i) {
            const TMemberInfo& m = members[i];
            if (m.Deleted) continue;
            const std::string shown = DisplayName(m.Name);
            const bool escaped = shown != Cp932ToUtf8(m.Name);
            if ((convertible && MatchesMember(cp932, m.Name)) || (escaped && MatchesMember(pattern, shown))) {
                chosen[i] = true;
                matched = true;
            }
        }
        if (!matched) {
            ReportError(texts::NoSuchMember, pattern);
            allMatched = false;
        }
    }
    return allMatched;
}

}  // namespace vopacktool
