#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace qel {

// Where the program keeps its files. A portable copy (the executable in a folder that
// its user can write, with no installation around it) keeps its settings, its report
// template and its relative data paths as on Windows: beside the executable, and relative
// to the current folder. An installed program (its folder read-only for the user, or
// with <prefix>/share/qel1-agent beside <prefix>/bin) keeps them in the user's own
// folders by the XDG base directory rules.
struct ProgramFolders {
    bool portable = true;
    std::string programFolder;                        // the executable's folder
    std::string settingsFolder;                       // QEL1_Agent.ini and the user's report.rtf
    std::string dataFolder;                           // relative data paths (installed); "" for the current folder
    // Where relative data paths go when the data folder cannot be made, first usable wins:
    // the settings folder, the home folder, the temporary folder.
    std::vector<std::string> dataFallbackFolders;
    std::vector<std::string> systemSettingsFolders;   // settings that IT put in place, first wins
    std::string installedDataFolder;                  // the report.rtf shipped with the program
    std::string documentationFolder;                  // Readme.txt and Readme.utf8.txt
};

// The environment variables the folders of an installed program follow.
struct FolderEnvironment {
    std::string home;        // HOME, else the user's home from the password database
    std::string configHome;  // XDG_CONFIG_HOME
    std::string dataHome;    // XDG_DATA_HOME
    std::string configDirs;  // XDG_CONFIG_DIRS
    std::string temp;        // TMPDIR
    static FolderEnvironment FromProcess();
};

inline constexpr const char* kProgramFilesName = "qel1-agent";
inline constexpr const char* kSettingsFileName = "QEL1_Agent.ini";

// Every folder named ends in "/". Relative XDG variables are ignored, as the XDG rules say.
ProgramFolders LocateProgramFolders(const std::string& executableFolder, const FolderEnvironment& environment);
// For the running program: its executable's folder (ExecutableFolder) and the process
// environment, looked at afresh at each call.
ProgramFolders CurrentProgramFolders();

// The settings file of a program with these folders.
std::string SettingsFilePath(const ProgramFolders& folders);
// The first existing file called `name` in the user's settings folder, the system's
// settings folders and the installed data folder (portable: beside the executable only).
// When none exists, the last place looked in.
std::string FindProgramFile(const ProgramFolders& folders, const std::string& name);

// At the start of an installed program: makes the user's settings and data folders,
// starts the settings file as a copy of the system's one when the user has none yet,
// and makes the data folder the current one, so relative data paths and the file
// dialogs start there. When the data folder cannot be made, the first of the fallback
// folders that exists and can be written becomes the current one instead, never the
// folder the program happened to start in. A portable copy is left as it is. Problems
// come back as lines for the diagnostics list (Russian) and are told on `log` too; the
// program goes on.
std::vector<std::string> PrepareProgramFolders(const ProgramFolders& folders, std::ostream& log);

}  // namespace qel
