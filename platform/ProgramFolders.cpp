#include "ProgramFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "ExecutableFolder.h"
#include "FileBytes.h"

namespace qel {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool IsAbsolute(const std::string& path) { return !path.empty() && path.front() == '/'; }

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder.push_back('/');
    return folder;
}

// "/usr/bin/../share" as "/usr/share/".
std::string Normal(const std::string& folder) {
    return WithSlash(std::filesystem::path(folder).lexically_normal().string());
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Makes a folder and the folders above it, new ones private to the user as the XDG rules
// ask. True when it stands as a folder afterwards.
bool MakeFolders(const std::string& folder, std::string& problem) {
    std::error_code ec;
    std::string sofar;
    for (const auto& part : std::filesystem::path(folder)) {
        sofar = (std::filesystem::path(sofar) / part).string();
        if (sofar == "/" || IsFolder(sofar)) continue;
        if (::mkdir(sofar.c_str(), 0700) != 0 && errno != EEXIST) {
            problem = "cannot make the folder " + sofar + ": " + std::strerror(errno);
            return false;
        }
    }
    if (!IsFolder(folder)) {
        problem = folder + " is not a folder";
        return false;
    }
    return true;
}

}  // namespace

FolderEnvironment FolderEnvironment::FromProcess() {
    FolderEnvironment environment;
    environment.home = Variable("HOME");
    if (environment.home.empty()) {
        if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr)
            environment.home = user->pw_dir;
    }
    environment.configHome = Variable("XDG_CONFIG_HOME");
    environment.dataHome = Variable("XDG_DATA_HOME");
    environment.configDirs = Variable("XDG_CONFIG_DIRS");
    return environment;
}

ProgramFolders LocateProgramFolders(const std::string& executableFolder, const FolderEnvironment& environment) {
    ProgramFolders folders;
    folders.programFolder = WithSlash(executableFolder);
    const std::string prefix = folders.programFolder + "../";
    const std::string installedData = Normal(prefix + "share/" + kProgramFilesName);
    folders.portable = !IsFolder(installedData) && ::access(folders.programFolder.c_str(), W_OK) == 0;
    if (folders.portable) {
        folders.settingsFolder = folders.programFolder;
        folders.documentationFolder = folders.programFolder;
        return folders;
    }
    folders.installedDataFolder = installedData;
    folders.documentationFolder = Normal(prefix + "share/doc/" + kProgramFilesName);

    const std::string home = WithSlash(environment.home);
    const std::string configHome =
        IsAbsolute(environment.configHome) ? WithSlash(environment.configHome) : home + ".config/";
    const std::string dataHome =
        IsAbsolute(environment.dataHome) ? WithSlash(environment.dataHome) : home + ".local/share/";
    folders.settingsFolder = Normal(configHome + kProgramFilesName);
    folders.dataFolder = Normal(dataHome + kProgramFilesName);

    std::string dirs = environment.configDirs;
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = dirs.substr(start, end - start);
        if (IsAbsolute(dir)) folders.systemSettingsFolders.push_back(Normal(WithSlash(dir) + kProgramFilesName));
        start = end + 1;
    }
    if (folders.systemSettingsFolders.empty())
        folders.systemSettingsFolders.push_back(std::string("/etc/xdg/") + kProgramFilesName + "/");
    return folders;
}

ProgramFolders CurrentProgramFolders() {
    return LocateProgramFolders(ExecutableFolder(), FolderEnvironment::FromProcess());
}

std::string SettingsFilePath() { return CurrentProgramFolders().settingsFolder + kSettingsFileName; }

std::string FindProgramFile(const ProgramFolders& folders, const std::string& name) {
    if (folders.portable) return folders.settingsFolder + name;
    std::vector<std::string> places{folders.settingsFolder};
    places.insert(places.end(), folders.systemSettingsFolders.begin(), folders.systemSettingsFolders.end());
    places.push_back(folders.installedDataFolder);
    for (const std::string& folder : places)
        if (Exists(folder + name)) return folder + name;
    return places.back() + name;
}

void PrepareProgramFolders(const ProgramFolders& folders, std::ostream& log) {
    if (folders.portable) return;
    std::string problem;
    if (!MakeFolders(folders.settingsFolder, problem)) {
        log << "qel1-agent: " << problem << "; the settings cannot be saved\n";
    } else {
        const std::string settings = folders.settingsFolder + kSettingsFileName;
        struct stat st {};
        if (::lstat(settings.c_str(), &st) != 0 && errno == ENOENT) {
            for (const std::string& system : folders.systemSettingsFolders) {
                std::string bytes;
                if (ReadWholeFile(system + kSettingsFileName, bytes) != FileReadResult::Ok) continue;
                if (!ReplaceFileAtomically(settings, bytes))
                    log << "qel1-agent: cannot copy " << system << kSettingsFileName << " to " << settings << "\n";
                break;
            }
        }
    }
    if (!MakeFolders(folders.dataFolder, problem)) {
        log << "qel1-agent: " << problem << "; relative data file names stay in the current folder\n";
    } else if (::chdir(folders.dataFolder.c_str()) != 0) {
        log << "qel1-agent: cannot enter " << folders.dataFolder << ": " << std::strerror(errno) << "\n";
    }
    log.flush();
}

}  // namespace qel
