// The members a create or add will make: each FILE's member name (its base
// name, or --name for a single file), checked before anything is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vopacktool {

struct TNewMember {
    std::string Path;  // as given (UTF-8)
    std::string Name;  // cp932
};

// False, with every problem reported: a name that does not survive the pack
// unchanged (ToolNames), one that matches (a to z case-blind) a name in
// existing or another on the list, or --name with more than one file.
bool PlanMembers(const std::vector<std::string>& files, const std::string& nameOption,
                 const std::vector<std::string>& existing, std::vector<TNewMember>& members);

// The files' sizes together, for the progress display (unreadable ones count 0).
std::int64_t TotalSize(const std::vector<TNewMember>& members);

}  // namespace vopacktool
