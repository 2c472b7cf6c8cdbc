#include "vopack/internal/OstrelSearch.h"

#include <cstring>

namespace ostrel {

void ResetSearch(TOstrelSearchTables& tables) {
    // Zero is as good as anything: heads are checked against the bytes.
    std::memset(&tables, 0, sizeof tables);
}

}  // namespace ostrel
