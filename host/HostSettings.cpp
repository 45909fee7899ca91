#include "HostSettings.h"

#include <windows.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>

#include "HostPaths.h"
#include "toolfunc/ScopedGuards.h"

std::string DefaultSettingsPath() {
    std::string beside = ProgramDirectory() + "TELVARIX.INI";
    if (GetFileAttributesA(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
    return "TELVARIX.INI";
}

namespace {

// The file's bytes; false when it exists but cannot be read.
bool ReadWholeFile(const std::string& path, std::string& text, bool& bFound) {
    tvx::ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        DWORD dwError = GetLastError();
        bFound = dwError != ERROR_FILE_NOT_FOUND && dwError != ERROR_PATH_NOT_FOUND;
        return !bFound;
    }
    bFound = true;
    char buffer[4096];
    DWORD dwRead = 0;
    bool bOk = true;
    while ((bOk = ReadFile(file.get(), buffer, sizeof buffer, &dwRead, nullptr) != FALSE) && dwRead > 0 &&
           text.size() < (1u << 20))
        text.append(buffer, dwRead);
    return bOk;
}

// A bare name means the Windows directory, as for the profile functions.
std::string FullSettingsPath(const std::string& path) {
    if (path.find_first_of("\\/:") != std::string::npos) return path;
    char dir[MAX_PATH] = {};
    GetWindowsDirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\" + path;
}

}  // namespace

SettingsRead ReadSettingsFile(const std::string& path) {
    SettingsRead result;
    std::string text;
    if (!ReadWholeFile(FullSettingsPath(path), text, result.bFound)) {
        result.problem = "the file cannot be read (error " + std::to_string(GetLastError()) + ")";
        return result;
    }
    if (!result.bFound) return result;
    result.problem = SettingsTextProblem(text);
    if (!result.problem.empty()) return result;
    result.settings = SettingsFromLookup([&path](const char* key) {
        // The applet's values are at most 30 characters; the service's own keys may be longer.
        char buffer[512] = {};
        std::string name(key);
        DWORD size = (name == "Password" || name == "AllowedClients" || name == "MediaFolder") ? sizeof buffer : 31;
        GetPrivateProfileStringA("General", key, "", buffer, size, path.c_str());
        return std::string(buffer);
    });
    result.problem = SettingsProblem(result.settings);
    return result;
}
