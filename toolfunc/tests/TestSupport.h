// Helpers of the toolfunc tests: files, processes, registry clean-up, waiting with deadlines.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace tftest {

std::string ExeDir();      // folder of the test program, with trailing backslash
std::string SystemDir();   // no trailing backslash
std::string WindowsDir();  // no trailing backslash

bool FileExists(const std::string& path);
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// Runs a command line, collecting its standard output; exitCode receives its exit code.
std::string RunCapture(const std::string& commandLine, DWORD* exitCode = nullptr);

// Polls cond until it holds or timeoutMs have passed; the last answer of cond.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs, DWORD stepMs = 20);

// A name no other run of the tests uses at the same time.
std::string UniqueName(const char* stem);

// The system's message text for an error code, as FormatMessage gives it.
std::string SystemMessageText(DWORD error);

// Environment variable set for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();

private:
    std::string m_name;
};

// A fresh folder below the temp folder, deleted with everything in it at the end.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string& Path() const { return m_path; }  // without trailing backslash
    std::string File(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

// Deletes a registry key with all its subkeys (ignores a missing key).
void DeleteRegTree(HKEY root, const std::string& path);
bool RegKeyExists(HKEY root, const std::string& path);
// Reads a value: type and raw bytes; false if it cannot be read.
bool ReadRegValue(HKEY root, const std::string& path, const char* name, DWORD* type, std::string* bytes);

}  // namespace tftest
