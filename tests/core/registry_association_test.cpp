// Windows: the keys that make the program open a file type for the current user.
#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>

#include "engine/utf8_path.h"
#include "platform/registry_association_win.h"

namespace orbelan {
namespace {

std::wstring DefaultValue(const std::wstring& key) {
    wchar_t value[512] = {};
    DWORD size = sizeof value;
    const std::wstring full = L"Software\\Classes\\" + key;
    if (RegGetValueW(HKEY_CURRENT_USER, full.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS)
        return L"<lipseste>";
    return value;
}

TEST(RegistryAssociation, ClassKeysForTheCurrentUserWithAQuotedCommand) {
    // An extension of its own, so the test never touches the real .dbf association.
    const std::string exe = "C:\\Programe\\Şcoală\\dbf-orbelan.exe";
    RegisterExtensionInRegistry("orbtest", exe);
    const std::wstring wExe = Utf16FromUtf8(exe);
    EXPECT_TRUE(DefaultValue(L".orbtest") == L"orbtestfile");
    EXPECT_TRUE(DefaultValue(L"orbtestfile\\DefaultIcon") == wExe + L",0");
    EXPECT_TRUE(DefaultValue(L"orbtestfile\\shell\\open\\command") == L"\"" + wExe + L"\" \"%1\"");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\.orbtest");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\orbtestfile");
}

}  // namespace
}  // namespace orbelan
#endif
