#include "Options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>

#include "ToolFiles.h"
#include "Verbs.h"
#include "VopackToolTexts.h"

namespace vopacktool {

namespace {

constexpr int ExitUsageCode = 2;

int Usage(const TVerb& verb, const std::string& problem) {
    ReportError(verb.Name, problem);
    std::fprintf(stderr, "usage: vopack %s %s\n", verb.Name, verb.Synopsis);
    return ExitUsageCode;
}

bool ParseCrcMode(const std::string& text, TCrcMode& mode) {
    if (text == "none") mode = cmNon;
    else if (text == "pack") mode = cmPackAll;
    else if (text == "each") mode = cmEachFile;
    else return false;
    return true;
}

}  // namespace

int ParseOptions(const TVerb& verb, const std::vector<std::string>& arguments, TOptions& options) {
    CLI::App app(std::string("vopack ") + verb.Name + " " + verb.Synopsis + "\n  " + verb.Summary,
                 std::string("vopack ") + verb.Name);
    app.allow_windows_style_options(false);
    app.set_help_flag("-h,--help", "show this help");
    app.add_flag("-q,--quiet", options.Quiet, "no progress bar, no summary");
    const unsigned set = verb.Options;
    if (set & osForce) app.add_flag("-f,--force", options.Force, "replace existing files");
    if (set & osSkip) app.add_flag("--skip", options.Skip, "keep existing files and go on");
    if (set & osAll) app.add_flag("-a,--all", options.All, "show deleted entries too");
    if (set & osJson) app.add_flag("--json", options.Json, "one JSON object per member");
    if (set & osDirectory) app.add_option("-C,--directory", options.Directory, "extract into DIR")->option_text("DIR");
    if (set & osStore) app.add_flag("--store", options.Store, "store members without compression");
    if (set & osName) app.add_option("--name", options.Name, "member name for a single FILE")->option_text("NAME");
    if (set & osJobs)
        app.add_option("-j,--jobs", options.Jobs, "compress on N threads (default: all cores)")
            ->option_text("N")
            ->check(CLI::Range(1, 256));
    std::string crcMode = "pack";
    if (set & osCrcMode)
        app.add_option("--crc-mode", crcMode, "CRC checked on reading: none, pack (default) or each")
            ->option_text("MODE");
    std::vector<std::string> positional;
    app.add_option("ARGUMENTS", positional, "as in the line above");

    // CLI11 takes a vector in reverse order.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    } catch (const CLI::ParseError& e) {
        return Usage(verb, e.what());
    }
    if (!ParseCrcMode(crcMode, options.CrcMode)) return Usage(verb, texts::BadCrcMode);
    const auto count = static_cast<int>(positional.size());
    if (count < verb.MinArguments || (verb.MaxArguments >= 0 && count > verb.MaxArguments))
        return Usage(verb, texts::WrongArguments + std::string(" ") + verb.Name);
    if (options.Force && options.Skip) return Usage(verb, "--force and --skip exclude each other");
    options.Arguments = std::move(positional);
    return -1;
}

}  // namespace vopacktool
