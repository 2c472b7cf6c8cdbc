// Adding planned members to a pack being changed, in order: on one thread,
// or with -j N on N compressing threads (the same pack bytes either way).
#pragma once

#include <vector>

#include "NewMembers.h"
#include "Options.h"
#include "ToolPackWriter.h"

namespace vopacktool {

// Stops at the first failure (reported); the pack is then not committed.
bool AddMembers(TPackWriter& writer, const std::vector<TNewMember>& members, const TOptions& options);

// The thread count -j asks for; without -j the machine's cores.
int JobCount(const TOptions& options);

}  // namespace vopacktool
