#pragma once
// Paths are UTF-8 std::string everywhere in the program. std::filesystem::path built from a
// std::string reads the ANSI code page on Windows, so every crossing goes through these.
#include <filesystem>
#include <string>
#include <string_view>

namespace orbelan {

inline std::filesystem::path PathFromUtf8(std::string_view utf8) {
#ifdef _WIN32
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
#else
    return std::filesystem::path(std::string(utf8));
#endif
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.string();
#endif
}

#ifdef _WIN32
// For the wide-character API.
inline std::wstring Utf16FromUtf8(std::string_view utf8) {
    return PathFromUtf8(utf8).native();
}
#endif

}  // namespace orbelan
