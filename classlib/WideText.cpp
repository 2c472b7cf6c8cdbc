#if defined(_WIN32)
#include "classlib/WideText.h"

#include <windows.h>

namespace {
constexpr UINT kCp932 = 932;
}

std::wstring WideFromCp932(const AnsiString& text) {
    if (text.IsEmpty()) return {};
    int length = MultiByteToWideChar(kCp932, 0, text.c_str(), text.Length(), nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(kCp932, 0, text.c_str(), text.Length(), wide.data(), length);
    return wide;
}

AnsiString Cp932FromWide(const std::wstring& text) {
    if (text.empty()) return {};
    int size = static_cast<int>(text.size());
    int length = WideCharToMultiByte(kCp932, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(kCp932, 0, text.data(), size, bytes.data(), length, nullptr, nullptr);
    return AnsiString(std::move(bytes));
}

#endif
