#include "QuorvanTexts.h"
#include "classlib/Forms.h"
#include "platform/Platform.h"
#include "quorvan/Quorvan.h"
#include "quorvan/internal/ShellExec.h"

namespace quorvan::internal {
namespace {
TShellExecute gShellExecute = &plat::ShellExecuteA;
}

TShellExecute SetShellExecute(TShellExecute shellExecute) {
    const TShellExecute previous = gShellExecute;
    gShellExecute = shellExecute ? shellExecute : &plat::ShellExecuteA;
    return previous;
}

}  // namespace quorvan::internal

void VoFileExec(AnsiString path) {  // NOLINT(performance-unnecessary-value-param): exported signature
    using namespace quorvan::internal;
    if (path.IsEmpty()) return;
    const AnsiString directory = WorkingDirectoryOf(path);
    const plat::HINSTANCE result =
        gShellExecute(Application->Handle(), nullptr, path.c_str(), "", directory.c_str(), plat::SW_SHOWNORMAL);
    // The shell reports success as a value above 32, taken as signed.
    const auto code = reinterpret_cast<std::intptr_t>(result);
    if (code > 32) return;
    Application->MessageBox(ShellErrorText(code), quorvan::texts::ShellErrorCaption,
                            static_cast<int>(plat::MB_OK | plat::MB_ICONSTOP));
}
