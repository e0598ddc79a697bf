// Where the program keeps its files: a portable copy beside its executable, an installed
// program in the user's XDG folders, and what it prepares there at start-up.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "ProgramFolders.h"
#include "TestFiles.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

// <root>/usr/bin for the program and, when `installed`, <root>/usr/share/qel1-agent.
std::string ProgramIn(const TempFolder& root, bool installed) {
    fs::create_directories(root / "usr/bin");
    if (installed) fs::create_directories(root / "usr/share/qel1-agent");
    return root / "usr/bin/";
}

TEST(ProgramFolders, AWritableFolderWithoutAnInstallationAroundItIsAPortableCopy) {
    TempFolder root;
    const std::string bin = ProgramIn(root, false);
    const ProgramFolders folders = LocateProgramFolders(bin, {"/home/u", "/cfg", "/data", "/etc/it", ""});
    EXPECT_TRUE(folders.portable);
    EXPECT_EQ(folders.settingsFolder, bin);
    EXPECT_EQ(folders.documentationFolder, bin);
    EXPECT_EQ(folders.dataFolder, "");  // the current folder, as on Windows
    // Everything is looked up beside the executable only.
    EXPECT_EQ(FindProgramFile(folders, "report.rtf"), bin + "report.rtf");
    // The trailing separator is added when missing.
    EXPECT_EQ(LocateProgramFolders(root / "usr/bin", {}).settingsFolder, bin);
}

TEST(ProgramFolders, AnInstalledProgramFollowsTheXdgVariables) {
    TempFolder root;
    const std::string bin = ProgramIn(root, true);
    struct Case {
        FolderEnvironment environment;
        std::string settings, data;
        std::vector<std::string> system;
    };
    const Case cases[] = {
        {{"/home/u", "", "", "", ""}, "/home/u/.config/qel1-agent/", "/home/u/.local/share/qel1-agent/",
         {"/etc/xdg/qel1-agent/"}},
        {{"/home/u/", "/c/x", "/d/y/", "/etc/it:/etc/xdg", ""}, "/c/x/qel1-agent/", "/d/y/qel1-agent/",
         {"/etc/it/qel1-agent/", "/etc/xdg/qel1-agent/"}},
        // Relative values do not count (XDG rules); empty entries of the list are skipped.
        {{"/home/u", "rel/cfg", "./data", "etc:/opt/it/::", ""}, "/home/u/.config/qel1-agent/",
         "/home/u/.local/share/qel1-agent/", {"/opt/it/qel1-agent/"}},
        {{"/home/u", "", "", "relative:only", ""}, "/home/u/.config/qel1-agent/", "/home/u/.local/share/qel1-agent/",
         {"/etc/xdg/qel1-agent/"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.environment.configHome + " | " + c.environment.configDirs);
        const ProgramFolders folders = LocateProgramFolders(bin, c.environment);
        EXPECT_FALSE(folders.portable);
        EXPECT_EQ(folders.programFolder, bin);
        EXPECT_EQ(folders.settingsFolder, c.settings);
        EXPECT_EQ(folders.dataFolder, c.data);
        EXPECT_EQ(folders.systemSettingsFolders, c.system);
        EXPECT_EQ(folders.installedDataFolder, root / "usr/share/qel1-agent/");
        EXPECT_EQ(folders.documentationFolder, root / "usr/share/doc/qel1-agent/");
    }
}

TEST(ProgramFolders, AFolderTheUserCannotWriteMakesTheProgramAnInstalledOne) {
    TempFolder root;
    const std::string bin = ProgramIn(root, false);
    ::chmod(bin.c_str(), 0555);
    ::chmod(root.Path().c_str(), 0755);
    ::chmod((root / "usr").c_str(), 0755);
    EXPECT_TRUE(test::RunUnprivileged([&] {
        const ProgramFolders folders = LocateProgramFolders(bin, {"/home/u", "", "", "", ""});
        return !folders.portable && folders.settingsFolder == "/home/u/.config/qel1-agent/";
    }));
    ::chmod(bin.c_str(), 0755);
}

TEST(ProgramFolders, FilesAreTakenFromTheUserThenTheSystemThenTheInstallation) {
    TempFolder root;
    const std::string bin = ProgramIn(root, true);
    fs::create_directories(root / "home/.config/qel1-agent");
    fs::create_directories(root / "it1/qel1-agent");
    fs::create_directories(root / "it2/qel1-agent");
    const ProgramFolders folders =
        LocateProgramFolders(bin, {root / "home", "", "", root / "it1" + ":" + root / "it2", ""});
    const std::string user = root / "home/.config/qel1-agent/report.rtf";
    const std::string it1 = root / "it1/qel1-agent/report.rtf";
    const std::string it2 = root / "it2/qel1-agent/report.rtf";
    const std::string shipped = root / "usr/share/qel1-agent/report.rtf";

    EXPECT_EQ(FindProgramFile(folders, "report.rtf"), shipped);  // none exists: the last place looked in
    for (const std::string& file : {shipped, it2, it1, user}) {
        test::WriteBytes(file, "{\\rtf1 x}");
        EXPECT_EQ(FindProgramFile(folders, "report.rtf"), file);
    }
}

class PreparedFolders : public ::testing::Test {
protected:
    void SetUp() override {
        bin = ProgramIn(root, true);
        fs::create_directories(root / "etc/qel1-agent");
        folders = LocateProgramFolders(bin, {root / "home", "", "", root / "etc", ""});
    }
    std::string Prepare() {
        const test::CurrentFolder keep(root.Path());  // the current folder is put back afterwards
        std::ostringstream log;
        notes = PrepareProgramFolders(folders, log);
        current = fs::current_path().string() + "/";
        return log.str();
    }
    std::vector<std::string> notes;
    TempFolder root;
    std::string bin, current;
    ProgramFolders folders;
};

TEST_F(PreparedFolders, TheFirstRunMakesTheUsersFoldersAndStartsFromTheSystemsSettings) {
    const std::string system = "[Ports]\r\nCOM1=/dev/ttyUSB0\r\n[QEL1_Agent]\r\nSaveFile=/srv/qel/Data.qel\r\n";
    test::WriteBytes(root / "etc/qel1-agent/QEL1_Agent.ini", system);
    EXPECT_EQ(Prepare(), "");
    EXPECT_EQ(test::ReadBytes(root / "home/.config/qel1-agent/QEL1_Agent.ini"), system);
    EXPECT_EQ(current, root / "home/.local/share/qel1-agent/");
    struct stat st {};
    ASSERT_EQ(::stat((root / "home/.config/qel1-agent").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // Later runs keep the user's own file, whatever the system's says now.
    test::WriteBytes(root / "home/.config/qel1-agent/QEL1_Agent.ini", "[QEL1_Agent]\r\nCon1check=1\r\n");
    test::WriteBytes(root / "etc/qel1-agent/QEL1_Agent.ini", "[QEL1_Agent]\r\nCon1check=0\r\n");
    EXPECT_EQ(Prepare(), "");
    EXPECT_EQ(test::ReadBytes(root / "home/.config/qel1-agent/QEL1_Agent.ini"), "[QEL1_Agent]\r\nCon1check=1\r\n");
}

TEST_F(PreparedFolders, WithoutASystemCopyNoSettingsFileIsMadeUntilTheProgramSaves) {
    EXPECT_EQ(Prepare(), "");
    EXPECT_TRUE(fs::is_directory(root / "home/.config/qel1-agent"));
    EXPECT_FALSE(fs::exists(root / "home/.config/qel1-agent/QEL1_Agent.ini"));
    EXPECT_EQ(current, root / "home/.local/share/qel1-agent/");
}

// Without a data folder, relative data paths go to the first fallback folder that exists
// and can be written, never to the folder the program started in; the list is told.
TEST_F(PreparedFolders, AFolderThatCannotBeMadeIsToldAndRelativeDataGoesToAWritableFolder) {
    test::WriteBytes(root / "home", "a file where the home folder should be");
    fs::create_directory(root / "tmp");
    folders.dataFallbackFolders = {folders.settingsFolder, root / "home/", root / "tmp/"};
    const std::string log = Prepare();
    ASSERT_EQ(notes.size(), 2u) << log;
    EXPECT_EQ(notes[0], "Папка настроек " + folders.settingsFolder + " не создаётся (" + root / "home/.config" +
                            ": на его месте не папка): настройки не будут сохранены");
    EXPECT_EQ(notes[1], "Папка данных " + folders.dataFolder + " не создаётся (" + root / "home/.local" +
                            ": на его месте не папка): файлы данных с относительным путём записываются в " +
                            root / "tmp/");
    EXPECT_EQ(log, "qel1-agent: " + notes[0] + "\nqel1-agent: " + notes[1] + "\n");
    EXPECT_EQ(current, root / "tmp/");
}

TEST(ProgramFolders, AnInstalledProgramFallsBackToSettingsHomeAndTemporaryFolders) {
    TempFolder root;
    const std::string bin = ProgramIn(root, true);
    const ProgramFolders folders = LocateProgramFolders(bin, {root / "home", "", "", "", root / "tmp"});
    EXPECT_EQ(folders.dataFallbackFolders,
              (std::vector<std::string>{root / "home/.config/qel1-agent/", root / "home/", root / "tmp/"}));
    const ProgramFolders noTemp = LocateProgramFolders(bin, {root / "home", "", "", "", ""});
    EXPECT_EQ(noTemp.dataFallbackFolders.back(), "/tmp/");
}

TEST(ProgramFolders, APortableCopyIsLeftAsItIs) {
    TempFolder root;
    const ProgramFolders folders = LocateProgramFolders(ProgramIn(root, false), {root / "home", "", "", "", ""});
    const test::CurrentFolder keep(root.Path());
    std::ostringstream log;
    EXPECT_TRUE(PrepareProgramFolders(folders, log).empty());
    EXPECT_EQ(log.str(), "");
    EXPECT_FALSE(fs::exists(root / "home"));
    EXPECT_EQ(fs::current_path().string(), root.Path());
}

}  // namespace
}  // namespace qel
