// Which members a command's MEMBER arguments name: patterns with "*" and "?"
// matched as the pack matches names (a to z case-blind), tried as cp932 and,
// for names shown escaped, against the escaped form.
#pragma once

#include <string>
#include <vector>

#include "ToolPack.h"

namespace vopacktool {

// One flag per catalogue entry (deleted entries never chosen). No patterns
// choose every member. Patterns that choose nothing are reported (and make
// the result false); the members the others chose stay chosen.
bool SelectMembers(const std::vector<TMemberInfo>& members, const std::vector<std::string>& patterns,
                   std::vector<bool>& chosen);

}  // namespace vopacktool
