// The program's command line and its start without a display, run as a user would from
// a terminal: what it prints, its exit status, and that it leaves no trace.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>

#include "ProgramRun.h"
#include "TestFiles.h"

#ifndef QEL_AGENT_PROGRAM
#error "QEL_AGENT_PROGRAM must name the built program"
#endif

namespace qel::test {
namespace {

namespace fs = std::filesystem;

class ProgramCommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        folder = root / "agent";
        runtime = root / "run";
        home = root / "home";
        for (const std::string& f : {folder, runtime, home}) fs::create_directory(f);
        ::chmod(runtime.c_str(), 0700);
        program = folder + "/qel1-agent";
        fs::copy_file(QEL_AGENT_PROGRAM, program);
    }

    // A terminal without a display: no QT_QPA_PLATFORM, no DISPLAY, no WAYLAND_DISPLAY.
    std::map<std::string, std::string> Terminal() const {
        return {{"HOME", home}, {"XDG_RUNTIME_DIR", runtime}, {"LC_ALL", "C"}, {"PATH", "/usr/bin:/bin"}};
    }

    ProgramResult Run(const std::vector<std::string>& arguments, std::map<std::string, std::string> environment) {
        return RunProgram(program, arguments, environment, folder, root.Path());
    }

    // Nothing was made: no settings file, no lock file, nothing in the user's home.
    void ExpectNoTrace() const {
        EXPECT_EQ(TempFolder::Entries(folder), std::set<std::string>{"qel1-agent"});
        EXPECT_TRUE(TempFolder::Entries(runtime).empty());
        EXPECT_TRUE(TempFolder::Entries(home).empty());
    }

    TempFolder root;
    std::string folder, runtime, home, program;
};

TEST_F(ProgramCommandLine, HelpAndVersionAnswerWithoutADisplayAndTouchNothing) {
    struct Case {
        std::vector<std::string> arguments;
        std::string expected;  // a piece of the standard output
    };
    const Case cases[] = {
        {{"--help"}, "Usage: qel1-agent [--help | --version]\n"},
        {{"-h"}, "  -h, --help     show this help and exit\n"},
        {{"--version"}, "qel1-agent 1.2\n"},
        {{"--version", "--help"}, "Usage: qel1-agent"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front());
        const ProgramResult r = Run(c.arguments, Terminal());
        ASSERT_TRUE(r.ended);
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_NE(r.out.find(c.expected), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "");
        ExpectNoTrace();
    }
    // The version is exactly one line.
    EXPECT_EQ(Run({"--version"}, Terminal()).out, "qel1-agent 1.2\n");
}

TEST_F(ProgramCommandLine, ArgumentsNotUnderstoodGiveTheUsageAndStatus2) {
    // The arguments, and the first that is not understood.
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--verbose"}, "--verbose"}, {{"-platform", "offscreen"}, "-platform"},
        {{"Data.qel"}, "Data.qel"},   {{"--help", "x"}, "x"},
        {{""}, ""}};
    for (const auto& [arguments, offending] : cases) {
        SCOPED_TRACE(arguments.front());
        const ProgramResult r = Run(arguments, Terminal());
        ASSERT_TRUE(r.ended);
        EXPECT_EQ(r.exitStatus, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("unknown argument '" + offending + "'"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Usage: qel1-agent [--help | --version]\n"), std::string::npos) << r.err;
        ExpectNoTrace();
    }
}

// An argument with escape sequences, and one of 131 000 characters: echoed with its
// controls escaped and cut, so that nothing reaches the terminal as a command.
TEST_F(ProgramCommandLine, AHostileArgumentIsEchoedEscapedAndCut) {
    const std::string hostile = "\x1b]0;owned\x07\x1b[2J" + std::string(131000, 'a');
    const ProgramResult r = Run({hostile}, Terminal());
    ASSERT_TRUE(r.ended);
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos);
    EXPECT_EQ(r.err.find('\x07'), std::string::npos);
    EXPECT_LT(r.err.size(), 300u);
    EXPECT_NE(r.err.find("unknown argument '\\x1B]0;owned\\x07\\x1B[2Jaaaa"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("... (" + std::to_string(hostile.size()) + " bytes)'"), std::string::npos) << r.err;
    ExpectNoTrace();
}

TEST_F(ProgramCommandLine, WithoutADisplayItSaysSoInOneLineAndExits1) {
    const ProgramResult r = Run({}, Terminal());
    ASSERT_TRUE(r.ended);
    EXPECT_EQ(r.exitStatus, 1) << "signal " << r.signal << (r.coreDumped ? " (core dumped)" : "");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "qel1-agent: no display to show the program on (neither DISPLAY nor WAYLAND_DISPLAY is set)\n");
    ExpectNoTrace();
}

TEST_F(ProgramCommandLine, ADisplayThatCannotBeOpenedEndsWithOneLineAndStatus1NotACoreDump) {
    // An X display that does not exist, and a Qt platform that does not exist.
    for (const auto& [name, value] : std::map<std::string, std::string>{{"DISPLAY", ":97"}, {"QT_QPA_PLATFORM", "nosuchplatform"}}) {
        SCOPED_TRACE(name);
        auto environment = Terminal();
        environment[name] = value;
        const ProgramResult r = Run({}, environment);
        ASSERT_TRUE(r.ended);
        EXPECT_EQ(r.signal, 0) << (r.coreDumped ? "core dumped" : "");
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.err, "qel1-agent: cannot open the display (" + name + "=" + value + ")\n");
        // It stopped before the settings window: no settings file was written.
        EXPECT_EQ(TempFolder::Entries(folder).count("QEL1_Agent.ini"), 0u);
    }
}

}  // namespace
}  // namespace qel::test
