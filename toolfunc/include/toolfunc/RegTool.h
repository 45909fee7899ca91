// Registry access through one open key, and window positions kept in the registry.
//
// Functions returning LONG give the platform's error code (0 = ERROR_SUCCESS).
#pragma once

#include <windows.h>

namespace TOOLFUNC_registry {

class CRegTool {
public:
    CRegTool();
    virtual ~CRegTool();  // closes the key

    // Creates the key if it is missing, else opens it (all access, failing that read access).
    LONG Open(HKEY hRoot, const char* pszPath);
    // Opens an existing key (all access, failing that read access); never creates one.
    LONG OpenExisting(HKEY hRoot, const char* pszPath);
    // Flushes and closes the open key, if any.
    LONG Close();
    // Creates (or opens) the subkey below the open key and closes it again.
    LONG CreateSubKey(const char* pszName);

    // Reads a value of any type as text (at most dwSize - 1 characters). A value that cannot
    // be read gives pszDefault (if any) and false; an empty value gives pszDefault and true.
    BOOL GetString(const char* pszName, char* pszBuffer, DWORD dwSize, const char* pszDefault);
    LONG SetString(const char* pszName, const char* pszText);  // REG_SZ
    // Reads 4 bytes; on failure *pdwValue = dwDefault and the result is false.
    BOOL GetDword(const char* pszName, DWORD* pdwValue, DWORD dwDefault);
    LONG SetDword(const char* pszName, DWORD dwValue);  // REG_DWORD
    LONG GetBinary(const char* pszName, void* pBuffer, DWORD dwSize);
    LONG SetBinary(const char* pszName, const void* pData, DWORD dwSize);  // REG_BINARY

    // Opens (creating) root\path with this object, deletes its subkey pszName (which must have
    // no subkeys of its own) and closes it.
    LONG DeleteSubKey(HKEY hRoot, const char* pszPath, const char* pszName);
    // Deletes the subkey of hParent with all its subkeys.
    static LONG DeleteKeyTree(HKEY hParent, const char* pszName);

    // Keeps the window's rectangle (screen coordinates) under
    // HKEY_CURRENT_USER\<base>\Windows\<title> as WndBottom, WndLeft, WndRight, WndTop;
    // with bChildren also that of each direct child, under its own title. Untitled windows
    // are skipped. True if the window itself was saved.
    BOOL SaveWindowPos(HWND hWnd, const char* pszBaseKey, BOOL bChildren);
    // Puts the window back where SaveWindowPos saw it. A titled window whose key opens counts
    // as restored even without stored values (it stays where it is); an untitled one is
    // centred. Children are restored the same way, never centred. True if the window itself
    // was restored.
    BOOL RestoreWindowPos(HWND hWnd, const char* pszBaseKey, BOOL bChildren);

    HKEY GetRoot() const { return m_hRoot; }
    HKEY GetKey() const { return m_hKey; }
    // REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY from the last key creation.
    DWORD GetDisposition() const { return m_dwDisposition; }

    CRegTool(const CRegTool&) = delete;
    CRegTool& operator=(const CRegTool&) = delete;

private:
    BOOL SaveOneWindow(HWND hWnd, const char* pszBaseKey);
    BOOL RestoreOneWindow(HWND hWnd, const char* pszBaseKey);

    HKEY m_hRoot;
    HKEY m_hKey;
    DWORD m_dwDisposition;
};

}  // namespace TOOLFUNC_registry
