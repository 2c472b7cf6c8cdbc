// Why a pack or member operation failed, as the pack's internals tell each
// other: the public TVoPackResult, with the rule that tells damage apart.
#pragma once

#include "vopack/VoPackResult.h"

namespace vopack::internal {

using TPackResult = TVoPackResult;

// Refusals of a pack as damaged (as against not being a pack at all, or a
// failure of the machine): under cmPackAll a version-3 pack so refused shows
// the damage box.
inline bool IsDamage(TPackResult r) {
    switch (r) {
        case TPackResult::prNegativeSize:
        case TPackResult::prTooLarge:
        case TPackResult::prCatalogueOutside:
        case TPackResult::prShortRead:
        case TPackResult::prCrcMissing:
        case TPackResult::prCrcMismatch:
            return true;
        default:
            return false;
    }
}

}  // namespace vopack::internal
