// Reading the program's command line: what each argument list asks for.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "CommandLine.h"

namespace qel {
namespace {

TEST(CommandLine, EachArgumentListAsksForOneThing) {
    struct Case {
        std::vector<std::string> arguments;
        CommandLineRequest request;
        std::string offending;
    };
    const Case cases[] = {
        {{}, CommandLineRequest::Run, ""},
        {{"--help"}, CommandLineRequest::Help, ""},
        {{"-h"}, CommandLineRequest::Help, ""},
        {{"--version"}, CommandLineRequest::Version, ""},
        {{"--version", "--help"}, CommandLineRequest::Help, ""},
        {{"--help", "--version"}, CommandLineRequest::Help, ""},
        {{"--version", "--version"}, CommandLineRequest::Version, ""},
        {{"--HELP"}, CommandLineRequest::Invalid, "--HELP"},
        {{"-help"}, CommandLineRequest::Invalid, "-help"},
        {{"--help=1"}, CommandLineRequest::Invalid, "--help=1"},
        {{"-v"}, CommandLineRequest::Invalid, "-v"},
        {{"--"}, CommandLineRequest::Invalid, "--"},
        {{""}, CommandLineRequest::Invalid, ""},
        {{"--help", "extra"}, CommandLineRequest::Invalid, "extra"},
        {{"first", "second"}, CommandLineRequest::Invalid, "first"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& a : c.arguments) shown += "[" + a + "]";
        SCOPED_TRACE(shown);
        const CommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.request, c.request);
        EXPECT_EQ(line.offending, c.offending);
    }
}

TEST(CommandLine, AnswersGoToTheirStreamWithTheirExitStatus) {
    struct Case {
        std::vector<const char*> argv;
        std::optional<int> status;
        bool toOut, toErr;
    };
    const Case cases[] = {
        {{"qel1-agent"}, std::nullopt, false, false},
        {{"qel1-agent", "--help"}, 0, true, false},
        {{"qel1-agent", "--version"}, 0, true, false},
        {{"qel1-agent", "--bogus"}, 2, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argv.size() > 1 ? c.argv[1] : "(none)");
        std::ostringstream out, err;
        EXPECT_EQ(AnswerCommandLine(static_cast<int>(c.argv.size()), c.argv.data(), out, err), c.status);
        EXPECT_EQ(!out.str().empty(), c.toOut);
        EXPECT_EQ(!err.str().empty(), c.toErr);
    }
}

// An unknown argument is echoed with control characters escaped and cut to a length a
// terminal line holds: escape sequences never reach the terminal.
TEST(CommandLine, AnUnknownArgumentIsShownEscapedAndCut) {
    const struct {
        std::string argument, shown;
    } cases[] = {
        {"--bogus", "--bogus"},
        {"--доза", "--доза"},
        {"\x1b[2J\x1b]0;title\x07", "\\x1B[2J\\x1B]0;title\\x07"},
        {"a\tb\nc\x7f", "a\\x09b\\x0Ac\\x7F"},
        {"\xc2\x9b" "31m", "\\xC2\\x9B31m"},  // the one-character CSI of C1
        {"bad\xff\xfe", "bad\\xFF\\xFE"},
        {std::string(80, 'x'), std::string(80, 'x')},
        {std::string(131000, 'x'), std::string(80, 'x') + "... (131000 bytes)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(ShownArgument(c.argument), c.shown);
    }
    std::ostringstream out, err;
    const std::string hostile = "\x1b[31m" + std::string(131000, 'y');
    const char* argv[] = {"qel1-agent", hostile.c_str()};
    EXPECT_EQ(AnswerCommandLine(2, argv, out, err), 2);
    EXPECT_EQ(err.str().find('\x1b'), std::string::npos);
    EXPECT_LT(err.str().size(), 200u);
    EXPECT_NE(err.str().find("unknown argument '\\x1B[31m"), std::string::npos) << err.str();
}

TEST(CommandLine, ADisplayIsNamedByQtsPlatformAnXDisplayOrAWaylandOne) {
    struct Case {
        const char* platform;
        const char* display;
        const char* wayland;
        bool named;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, false},
        {"", "", "", false},
        {"offscreen", nullptr, nullptr, true},
        {nullptr, ":0", nullptr, true},
        {nullptr, nullptr, "wayland-0", true},
        {nullptr, "", "wayland-1", true},
    };
    for (const Case& c : cases) {
        const auto lookup = [&](const std::string& name) -> const char* {
            if (name == "QT_QPA_PLATFORM") return c.platform;
            if (name == "DISPLAY") return c.display;
            if (name == "WAYLAND_DISPLAY") return c.wayland;
            return nullptr;
        };
        EXPECT_EQ(DisplayNamed(lookup), c.named);
    }
}

}  // namespace
}  // namespace qel
