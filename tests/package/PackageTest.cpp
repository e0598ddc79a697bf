// The packages as a clinic's IT would get them: the .deb unpacked (no system install),
// its paths, its desktop entry and metainfo, what lintian says, and the unpacked program
// run as an ordinary user with a home of its own, filing a packet from the simulator.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Qel1Samples.h"
#include "Simulator.h"
#include "TestFiles.h"
#include "Waits.h"

#ifndef QEL_PACKAGE_FOLDER
#error "QEL_PACKAGE_FOLDER must name the folder the package build writes into"
#endif

extern char** environ;

namespace qel::test {
namespace {

namespace fs = std::filesystem;

// Runs a shell command; its standard output and error together, and its exit status.
struct CommandResult {
    int status = -1;
    std::string output;
};
CommandResult RunCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> buffer{};
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The one file in the package folder that ends in `suffix`.
std::string PackageFile(const std::string& suffix) {
    std::string found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(QEL_PACKAGE_FOLDER, ec)) {
        const std::string name = entry.path().string();
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            found = name;
    }
    return found;
}

// The .deb unpacked into a folder that any user may read.
class UnpackedDeb : public ::testing::Test {
protected:
    void SetUp() override {
        deb = PackageFile(".deb");
        ASSERT_FALSE(deb.empty()) << "no .deb in " << QEL_PACKAGE_FOLDER << " (the package build runs first)";
        ::chmod(root.Path().c_str(), 0755);
        tree = root / "tree";
        const CommandResult unpack = RunCommand("dpkg-deb -x " + Quoted(deb) + " " + Quoted(tree));
        ASSERT_EQ(unpack.status, 0) << unpack.output;
    }
    std::string In(const std::string& path) const { return tree + "/" + path; }

    TempFolder root;
    std::string deb, tree;
};

TEST_F(UnpackedDeb, InstallsByTheFilesystemHierarchyStandard) {
    const std::vector<std::string> files{
        "usr/bin/qel1-agent",
        "usr/share/qel1-agent/report.rtf",
        "usr/share/doc/qel1-agent/Readme.txt",
        "usr/share/doc/qel1-agent/Readme.utf8.txt",
        "usr/share/doc/qel1-agent/copyright",
        "usr/share/doc/qel1-agent/changelog.gz",
        "usr/share/applications/qel1-agent.desktop",
        "usr/share/icons/hicolor/64x64/apps/qel1-agent.png",
        "usr/share/icons/hicolor/scalable/apps/qel1-agent.svg",
        "usr/share/metainfo/org.example.qel_agent.qel1_agent.metainfo.xml",
        "usr/share/man/man1/qel1-agent.1.gz",
        "etc/xdg/autostart/qel1-agent.desktop",
    };
    for (const std::string& file : files) EXPECT_TRUE(fs::is_regular_file(In(file))) << file;
    struct stat st {};
    ASSERT_EQ(::stat(In("usr/bin/qel1-agent").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    // Nothing outside those places: no program folder of its own, nothing under /usr/local.
    std::vector<std::string> unexpected;
    for (const auto& entry : fs::recursive_directory_iterator(tree)) {
        if (!entry.is_regular_file()) continue;
        const std::string path = entry.path().string().substr(tree.size() + 1);
        if (std::find(files.begin(), files.end(), path) == files.end()) unexpected.push_back(path);
    }
    EXPECT_TRUE(unexpected.empty()) << unexpected.front();
    // The documentation in both forms: code page 1251 for Windows' sake, UTF-8 for the help.
    EXPECT_NE(ReadBytes(In("usr/share/doc/qel1-agent/Readme.utf8.txt")).find("Где хранятся файлы"), std::string::npos);
    EXPECT_NE(ReadBytes(In("usr/share/doc/qel1-agent/Readme.txt")).find(Utf8ToCp1251("Где хранятся файлы")),
              std::string::npos);
}

TEST_F(UnpackedDeb, DependenciesAreComputedFromTheBinary) {
    const CommandResult depends = RunCommand("dpkg-deb -f " + Quoted(deb) + " Depends");
    ASSERT_EQ(depends.status, 0) << depends.output;
    for (const char* library : {"libc6", "libstdc++6", "libqt6core6", "libqt6widgets6", "libqt6printsupport6",
                                "libqt6serialport6", "qt6-translations-l10n"})
        EXPECT_NE(depends.output.find(library), std::string::npos) << library << " in " << depends.output;
    const CommandResult fields = RunCommand("dpkg-deb -f " + Quoted(deb) + " Package Version Architecture");
    EXPECT_NE(fields.output.find("Package: qel1-agent"), std::string::npos) << fields.output;
    EXPECT_NE(fields.output.find("Version: 1.2"), std::string::npos) << fields.output;
    const CommandResult conffiles = RunCommand("dpkg-deb --ctrl-tarfile " + Quoted(deb) + " | tar -xO ./conffiles");
    EXPECT_EQ(conffiles.output, "/etc/xdg/autostart/qel1-agent.desktop\n");
}

TEST_F(UnpackedDeb, DesktopEntriesAndMetainfoValidate) {
    for (const std::string& entry :
         {In("usr/share/applications/qel1-agent.desktop"), In("etc/xdg/autostart/qel1-agent.desktop")}) {
        const CommandResult check = RunCommand("desktop-file-validate " + Quoted(entry));
        EXPECT_EQ(check.status, 0) << entry << "\n" << check.output;
        EXPECT_EQ(check.output, "") << entry;
    }
    const std::string desktop = ReadBytes(In("usr/share/applications/qel1-agent.desktop"));
    for (const char* line : {"\nExec=qel1-agent\n", "\nIcon=qel1-agent\n", "\nStartupWMClass=qel1-agent\n",
                             "\nCategories=Science;MedicalSoftware;\n"})
        EXPECT_NE(desktop.find(line), std::string::npos) << line;
    EXPECT_EQ(desktop.find("\nPath="), std::string::npos);
    // The autostart entry is installed off.
    EXPECT_NE(ReadBytes(In("etc/xdg/autostart/qel1-agent.desktop")).find("\nHidden=true\n"), std::string::npos);

    const CommandResult metainfo = RunCommand(
        "appstreamcli validate --no-net --pedantic " + Quoted(In("usr/share/metainfo/org.example.qel_agent.qel1_agent.metainfo.xml")));
    EXPECT_EQ(metainfo.status, 0) << metainfo.output;
}

TEST_F(UnpackedDeb, LintianFindsNoErrors) {
    const CommandResult lintian = RunCommand("lintian --allow-root --tag-display-limit 0 " + Quoted(deb));
    std::string errors;
    std::size_t start = 0;
    while (start < lintian.output.size()) {
        std::size_t end = lintian.output.find('\n', start);
        if (end == std::string::npos) end = lintian.output.size();
        const std::string line = lintian.output.substr(start, end - start);
        if (line.rfind("E: ", 0) == 0) errors += line + "\n";
        start = end + 1;
    }
    EXPECT_EQ(errors, "") << lintian.output;
    std::printf("lintian says:\n%s", lintian.output.empty() ? "(nothing)\n" : lintian.output.c_str());
}

// The unpacked program run as an ordinary user: "nobody" when the test runs as root
// (as in CI), else the user running the test.
class UnpackedProgramAsAUser : public UnpackedDeb {
protected:
    void SetUp() override {
        UnpackedDeb::SetUp();
        if (HasFatalFailure()) return;
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            ASSERT_NE(nobody, nullptr);
            uid = nobody->pw_uid;
            gid = nobody->pw_gid;
        }
        home = root / "home";
        runtime = root / "run";
        it = root / "it";
        for (const std::string& folder : {home, runtime}) {
            fs::create_directory(folder);
            ASSERT_EQ(::chown(folder.c_str(), uid, gid), 0);
        }
        ::chmod(runtime.c_str(), 0700);
        fs::create_directories(it + "/qel1-agent");
        std::string error;
        device = Simulator::CreatePty(root / "ttyQEL1", error);
        ASSERT_TRUE(device) << error;
        // The user may open the line, as membership of dialout allows on a real machine.
        ASSERT_EQ(::chown(device->Path().c_str(), uid, gid), 0);
    }
    void TearDown() override {
        if (pid > 0) AwaitChild(pid, 0);
        device.reset();
    }

    // Starts the program as the user, in the user's home, with only these variables.
    void Start(const std::vector<std::string>& arguments = {}) {
        std::vector<std::string> args{In("usr/bin/qel1-agent")};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<std::string> env{"HOME=" + home, "XDG_RUNTIME_DIR=" + runtime, "XDG_CONFIG_DIRS=" + it,
                                     "QT_QPA_PLATFORM=offscreen", "LC_ALL=C", "PATH=/usr/bin:/bin"};
        pid = SpawnChild({.args = args,
                          .environment = env,
                          .folder = home,
                          .outPath = root / "agent.log",
                          .user = std::pair{uid, gid}});
        ASSERT_GT(pid, 0);
    }
    int Wait(int timeoutMs) {
        const ChildEnd end = AwaitChild(pid, timeoutMs);
        pid = -1;
        if (!end.ended) return -1;
        return WIFEXITED(end.status) ? WEXITSTATUS(end.status) : 128 + WTERMSIG(end.status);
    }
    bool HoldsPort() const {
        std::error_code ec;
        for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
            std::error_code linkError;
            if (fs::read_symlink(fd.path(), linkError).string() == device->Path()) return true;
        }
        return false;
    }
    std::string Log() const { return ReadBytes(root / "agent.log"); }

    uid_t uid = ::getuid();
    gid_t gid = ::getgid();
    pid_t pid = -1;
    std::string home, runtime, it;
    std::unique_ptr<Simulator> device;
};

TEST_F(UnpackedProgramAsAUser, KeepsItsSettingsAndDataInTheUsersOwnFolders) {
    // What IT put in place: the port of connection 1, and the default data file name.
    WriteIni(it + "/qel1-agent/QEL1_Agent.ini",
             {"[Ports]", "COM1=" + device->Path(), "[QEL1_Agent]", "Con1check=1", "Con1numCOM=1"});
    Start();
    ASSERT_TRUE(PollUntil([&] { return HoldsPort(); }, 20000)) << Log();
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    device->SendBytes(kExamplePacket);
    const std::string data = home + "/.local/share/qel1-agent/Data.qel";
    EXPECT_TRUE(PollUntil([&] { return ReadBytes(data) == "00007 00300 09:45 31/12/05 00012.500\r\n"; }, 10000))
        << ReadBytes(data) << Log();

    ::kill(pid, SIGTERM);
    EXPECT_EQ(Wait(15000), 0) << Log();
    const std::string settings = home + "/.config/qel1-agent/QEL1_Agent.ini";
    EXPECT_EQ(IniSection(settings, "QEL1_Agent").size(), 15u) << ReadBytes(settings);
    struct stat st {};
    ASSERT_EQ(::stat(settings.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, uid);
    ASSERT_EQ(::stat(data.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, uid);
    // The installed files stay as the package made them.
    EXPECT_EQ(TempFolder::Entries(In("usr/bin")), std::set<std::string>{"qel1-agent"});
    EXPECT_EQ(TempFolder::Entries(In("usr/share/qel1-agent")), std::set<std::string>{"report.rtf"});
}

TEST_F(UnpackedProgramAsAUser, AnswersItsVersionWithoutADisplay) {
    Start({"--version"});
    EXPECT_EQ(Wait(10000), 0);
    EXPECT_EQ(Log(), "qel1-agent 1.2\n");
    EXPECT_TRUE(TempFolder::Entries(home).empty());
}

TEST(Rpm, ListsTheSamePlacesAndComputedRequirements) {
    const std::string rpm = PackageFile(".rpm");
    ASSERT_FALSE(rpm.empty()) << "no .rpm in " << QEL_PACKAGE_FOLDER;
    const CommandResult files = RunCommand("rpm -qlp " + Quoted(rpm));
    ASSERT_EQ(files.status, 0) << files.output;
    for (const char* path : {"/usr/bin/qel1-agent\n", "/usr/share/qel1-agent/report.rtf\n",
                             "/usr/share/doc/qel1-agent/Readme.utf8.txt\n", "/usr/share/applications/qel1-agent.desktop\n",
                             "/usr/share/metainfo/org.example.qel_agent.qel1_agent.metainfo.xml\n",
                             "/etc/xdg/autostart/qel1-agent.desktop\n"})
        EXPECT_NE(files.output.find(path), std::string::npos) << path << files.output;
    const CommandResult requires_ = RunCommand("rpm -qp --requires " + Quoted(rpm));
    EXPECT_NE(requires_.output.find("libQt6SerialPort.so.6"), std::string::npos) << requires_.output;
    EXPECT_NE(requires_.output.find("libQt6Widgets.so.6"), std::string::npos) << requires_.output;
    // Qt's own translations, under either name the RPM distributions give them.
    EXPECT_NE(requires_.output.find("(qt6-qttranslations or qt6-translations)"), std::string::npos) << requires_.output;
    const CommandResult config = RunCommand("rpm -qcp " + Quoted(rpm));
    EXPECT_EQ(config.output, "/etc/xdg/autostart/qel1-agent.desktop\n");
}

}  // namespace
}  // namespace qel::test
