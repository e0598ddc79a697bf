#include "CommandLine.h"

#include <cstdio>
#include <cstdlib>

#include "Utf8.h"

#ifndef QEL_VERSION
#error "QEL_VERSION must give the program's version"
#endif

namespace qel {

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    for (const std::string& argument : arguments) {
        CommandLineRequest request = CommandLineRequest::Invalid;
        if (argument == "--help" || argument == "-h")
            request = CommandLineRequest::Help;
        else if (argument == "--version")
            request = CommandLineRequest::Version;
        if (request == CommandLineRequest::Invalid) return {CommandLineRequest::Invalid, argument};
        // Help wins over the version when both are asked for.
        if (line.request != CommandLineRequest::Help) line.request = request;
    }
    return line;
}

std::string HelpText() {
    return "Usage: qel1-agent [--help | --version]\n"
           "\n"
           "QEL-1 Agent receives the measurements of up to two QEL-1 and QEL-1M X-ray dose\n"
           "meters on serial ports and writes each one as a line of the data file that the\n"
           "clinic's software reads. Started without arguments it runs in the notification\n"
           "area; its settings window is opened from the icon's menu.\n"
           "\n"
           "  -h, --help     show this help and exit\n"
           "      --version  show the program's version and exit\n"
           "\n"
           "Files: a copy of the program in a folder that its user can write keeps\n"
           "QEL1_Agent.ini and report.rtf beside the executable. An installed program keeps\n"
           "them in $XDG_CONFIG_HOME/qel1-agent (~/.config/qel1-agent), starting from\n"
           "/etc/xdg/qel1-agent when that holds them, and resolves a relative data file\n"
           "name in $XDG_DATA_HOME/qel1-agent (~/.local/share/qel1-agent).\n"
           "Qt's own settings are given in the environment (QT_QPA_PLATFORM, ...).\n";
}

std::string VersionText() { return "qel1-agent " QEL_VERSION "\n"; }

std::string ShownArgument(const std::string& argument) {
    std::string shown;
    std::size_t pos = 0;
    std::size_t characters = 0;
    while (pos < argument.size()) {
        if (characters == kShownArgumentCharacters) {
            shown += "... (" + std::to_string(argument.size()) + " bytes)";
            break;
        }
        const Utf8Char ch = DecodeUtf8At(argument, pos);
        // C0 and C1 controls and DEL would reach the terminal as commands; bytes that are
        // not UTF-8 could start one. Both are shown by their byte values.
        const bool control = ch.codePoint < 0x20 || (ch.codePoint >= 0x7F && ch.codePoint < 0xA0);
        if (!ch.valid || control) {
            for (std::size_t i = 0; i < (ch.valid ? ch.length : 1); ++i) {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(argument[pos + i]));
                shown += hex;
            }
            pos += ch.valid ? ch.length : 1;
        } else {
            shown.append(argument, pos, ch.length);
            pos += ch.length;
        }
        ++characters;
    }
    return shown;
}

std::string UsageText(const std::string& offending) {
    return "qel1-agent: unknown argument '" + ShownArgument(offending) +
           "'\nUsage: qel1-agent [--help | --version]\n";
}

std::optional<int> AnswerCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
    const CommandLine line = ParseCommandLine(arguments);
    switch (line.request) {
        case CommandLineRequest::Run:
            return std::nullopt;
        case CommandLineRequest::Help:
            out << HelpText() << std::flush;
            return 0;
        case CommandLineRequest::Version:
            out << VersionText() << std::flush;
            return 0;
        case CommandLineRequest::Invalid:
            break;
    }
    err << UsageText(line.offending) << std::flush;
    return 2;
}

bool DisplayNamed(const EnvironmentLookup& getenv) {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = getenv(name);
        if (value != nullptr && value[0] != '\0') return true;
    }
    return false;
}

bool DisplayNamed() {
    return DisplayNamed([](const char* name) { return static_cast<const char*>(std::getenv(name)); });
}

}  // namespace qel
