#include "QuorvanTexts.h"
#include "quorvan/internal/ShellExec.h"

namespace quorvan::internal {

const char* ShellErrorText(std::intptr_t code) {
    switch (code) {
        case 0: return texts::ShellErrorOutOfResources;
        case 2: return texts::ShellErrorFileNotFound;
        case 3: return texts::ShellErrorPathNotFound;
        case 11: return texts::ShellErrorBadFormat;
        case 26: return texts::ShellErrorShareViolation;
        case 27: return texts::ShellErrorAssocIncomplete;
        case 28: return texts::ShellErrorDdeTimeout;
        case 29: return texts::ShellErrorDdeFail;
        case 30: return texts::ShellErrorDdeBusy;
        case 31: return texts::ShellErrorNoAssoc;
        default: return texts::ShellErrorUnknown;
    }
}

}  // namespace quorvan::internal
