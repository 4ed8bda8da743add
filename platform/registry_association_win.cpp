#include "platform/registry_association_win.h"

#include <windows.h>
// After windows.h.
#include <shlobj.h>

#include <stdexcept>

#include "engine/utf8_path.h"

namespace orbelan {
namespace {

void SetDefaultValue(const std::wstring& key, const std::wstring& value) {
    const std::wstring full = L"Software\\Classes\\" + key;
    HKEY handle = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, full.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_SET_VALUE, nullptr, &handle, nullptr);
    if (rc == ERROR_SUCCESS) {
        rc =
            RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
    }
    if (rc != ERROR_SUCCESS)
        throw std::runtime_error("Nu pot scrie asocierea fisierelor DBF in registru.");
}

}  // namespace

void RegisterExtensionInRegistry(const std::string& ext, const std::string& exe) {
    const std::wstring wExt = Utf16FromUtf8(ext);
    const std::wstring wExe = Utf16FromUtf8(exe);
    const std::wstring cls = wExt + L"file";
    SetDefaultValue(L"." + wExt, cls);
    SetDefaultValue(cls + L"\\DefaultIcon", wExe + L",0");
    // Quoted: the program's folder and the table's may both hold spaces.
    SetDefaultValue(cls + L"\\shell\\open\\command", L"\"" + wExe + L"\" \"%1\"");
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

}  // namespace orbelan
