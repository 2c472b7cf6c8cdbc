#include "NewMembers.h"

#include <map>

#include "ToolFiles.h"
#include "ToolNames.h"
#include "VopackToolTexts.h"

namespace vopacktool {

namespace {

// The pack's lookup key: a to z upper-cased, double-byte characters whole.
std::string LookupKey(const std::string& cp932) {
    std::string key = cp932;
    for (std::size_t i = 0; i < key.size(); ++i) {
        const auto b = static_cast<unsigned char>(key[i]);
        if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) {
            ++i;
        } else if (b >= 'a' && b <= 'z') {
            key[i] = static_cast<char>(b - 'a' + 'A');
        }
    }
    return key;
}

}  // namespace

bool PlanMembers(const std::vector<std::string>& files, const std::string& nameOption,
                 const std::vector<std::string>& existing, std::vector<TNewMember>& members) {
    members.clear();
    if (!nameOption.empty() && files.size() != 1) {
        ReportError(texts::NameNeedsOneFile, nameOption);
        return false;
    }
    std::map<std::string, std::string> taken;  // key -> what took it, for the message
    for (const std::string& name : existing)
        if (!name.empty()) taken.emplace(LookupKey(name), DisplayName(name));
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
        const auto [at, fresh] = taken.emplace(LookupKey(member.Name), path);
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
