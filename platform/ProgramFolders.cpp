#include "ProgramFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "ExecutableFolder.h"
#include "FileBytes.h"
#include "FileReason.h"

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
// ask. True when it stands as a folder afterwards; else `problem` says why (Russian).
bool MakeFolders(const std::string& folder, std::string& problem) {
    std::string sofar;
    for (const auto& part : std::filesystem::path(folder)) {
        sofar = (std::filesystem::path(sofar) / part).string();
        if (sofar == "/" || IsFolder(sofar)) continue;
        if (::mkdir(sofar.c_str(), 0700) != 0 && errno != EEXIST) {
            problem = sofar + ": " + (errno == EEXIST || errno == ENOTDIR ? std::string("на его месте не папка")
                                                                          : FileReasonText(FileRefusal::None, errno));
            return false;
        }
    }
    if (!IsFolder(folder)) {
        problem = folder + ": на его месте не папка";
        return false;
    }
    return true;
}

bool IsWritableFolder(const std::string& folder) {
    return !folder.empty() && IsFolder(folder) && ::access(folder.c_str(), W_OK | X_OK) == 0;
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
    environment.temp = Variable("TMPDIR");
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
    folders.dataFallbackFolders = {folders.settingsFolder};
    if (IsAbsolute(environment.home)) folders.dataFallbackFolders.push_back(Normal(home));
    folders.dataFallbackFolders.push_back(IsAbsolute(environment.temp) ? Normal(environment.temp) : "/tmp/");

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

std::string SettingsFilePath(const ProgramFolders& folders) { return folders.settingsFolder + kSettingsFileName; }

std::string FindProgramFile(const ProgramFolders& folders, const std::string& name) {
    if (folders.portable) return folders.settingsFolder + name;
    std::vector<std::string> places{folders.settingsFolder};
    places.insert(places.end(), folders.systemSettingsFolders.begin(), folders.systemSettingsFolders.end());
    places.push_back(folders.installedDataFolder);
    for (const std::string& folder : places)
        if (Exists(folder + name)) return folder + name;
    return places.back() + name;
}

std::vector<std::string> PrepareProgramFolders(const ProgramFolders& folders, std::ostream& log) {
    std::vector<std::string> notes;
    if (folders.portable) return notes;
    std::string problem;
    if (!MakeFolders(folders.settingsFolder, problem)) {
        notes.push_back("Папка настроек " + folders.settingsFolder + " не создаётся (" + problem +
                        "): настройки не будут сохранены");
    } else {
        const std::string settings = folders.settingsFolder + kSettingsFileName;
        struct stat st {};
        if (::lstat(settings.c_str(), &st) != 0 && errno == ENOENT) {
            for (const std::string& system : folders.systemSettingsFolders) {
                std::string bytes;
                if (ReadWholeFile(system + kSettingsFileName, bytes) != FileReadResult::Ok) continue;
                std::string reason;
                if (!ReplaceFileAtomically(settings, bytes, &reason))
                    notes.push_back("Настройки " + system + kSettingsFileName + " не копируются в " + settings + ": " +
                                    reason);
                break;
            }
        }
    }
    std::string dataFolder = folders.dataFolder;
    if (!MakeFolders(folders.dataFolder, problem)) {
        dataFolder.clear();
        for (const std::string& fallback : folders.dataFallbackFolders)
            if (IsWritableFolder(fallback)) {
                dataFolder = fallback;
                break;
            }
        notes.push_back("Папка данных " + folders.dataFolder + " не создаётся (" + problem + "): " +
                        (dataFolder.empty() ? std::string("нет папки для файлов данных с относительным путём")
                                            : "файлы данных с относительным путём записываются в " + dataFolder));
    }
    if (!dataFolder.empty() && ::chdir(dataFolder.c_str()) != 0)
        notes.push_back("Папка данных " + dataFolder + " недоступна: " + FileReasonText(FileRefusal::None, errno));
    for (const std::string& note : notes) log << "qel1-agent: " << note << "\n";
    log.flush();
    return notes;
}

}  // namespace qel
