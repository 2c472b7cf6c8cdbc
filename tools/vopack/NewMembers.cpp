#include "NewMembers.h"

#include <map>

#include "ToolFiles.h"
#include "ToolNames.h"
#include "VopackToolTexts.h"

namespace vopacktool {

bool PlanMembers(const std::vector<std::string>& files, const std::string& nameOption,
                 const std::vector<std::string>& existing, std::vector<TNewMember>& members) {
    members.clear();
    if (!nameOption.empty() && files.size() != 1) {
        ReportError(texts::NameNeedsOneFile, nameOption);
        return false;
    }
    std::map<std::string, std::string> taken;  // key -> what took it, for the message
    for (const std::string& name : existing)
        if (!name.empty()) taken.emplace(MemberLookupKey(name), DisplayName(name));
    bool ok = true;
    for (const std::string& path : files) {
        const std::string utf8 = nameOption.empty() ? BaseName(path) : nameOption;
        TNewMember member{path, {}};
        const TNameProblem problem = MemberNameFromUtf8(utf8, member.Name);
        if (problem != TNameProblem::npNone) {
            ReportError(texts::BadMemberName, utf8 + ": " + NameProblemText(problem));
            ok = false;
            continue;
        }
        const auto [at, fresh] = taken.emplace(MemberLookupKey(member.Name), path);
        if (!fresh) {
            ReportError(texts::NameTaken, utf8 + " (as " + at->second + ")");
            ok = false;
            continue;
        }
        members.push_back(std::move(member));
    }
    return ok;
}

std::int64_t TotalSize(const std::vector<TNewMember>& members) {
    const TQuietReports quiet;
    std::int64_t total = 0;
    for (const TNewMember& member : members) {
        TInputFile file;
        if (file.Open(member.Path)) total += file.Size();
    }
    return total;
}

}  // namespace vopacktool
