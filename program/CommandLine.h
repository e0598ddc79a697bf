#pragma once
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace qel {

// What the command line asks for. The program takes no arguments to run; it answers
// --help and --version and refuses everything else.
enum class CommandLineRequest { Run, Help, Version, Invalid };

struct CommandLine {
    CommandLineRequest request = CommandLineRequest::Run;
    std::string offending;  // the first argument that was not understood (Invalid)
};

// `arguments` are those after the program's name.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

std::string HelpText();
std::string VersionText();
// An argument as it may be shown on a terminal: control characters and bytes that are not
// UTF-8 as \xNN, and cut after kShownArgumentCharacters characters with its length said.
inline constexpr std::size_t kShownArgumentCharacters = 80;
std::string ShownArgument(const std::string& argument);
// The short usage for an argument that was not understood (shown as ShownArgument does).
std::string UsageText(const std::string& offending);

// Answers a command line that does not start the program: help and version on `out`
// (exit status 0), the usage on `err` (exit status 2). Nothing else is touched. Returns
// no value when the program is to run.
std::optional<int> AnswerCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// True when the environment names a window system to show the program on: a Qt platform
// chosen explicitly (QT_QPA_PLATFORM), an X display (DISPLAY) or a Wayland one
// (WAYLAND_DISPLAY). `getenv` stands for the process environment.
using EnvironmentLookup = std::function<const char*(const char*)>;
bool DisplayNamed(const EnvironmentLookup& getenv);
bool DisplayNamed();

// The one line said when there is no display.
inline constexpr const char* kNoDisplayMessage =
    "qel1-agent: no display to show the program on (neither DISPLAY nor WAYLAND_DISPLAY is set)\n";

}  // namespace qel
