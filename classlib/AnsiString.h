// AnsiString: a byte string of cp932 text. Positions in its search and
// substring operations count from 1, as the class library's do.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "classlib/ClassLibExport.h"

class CLASSLIB_API AnsiString {
public:
    AnsiString() = default;
    AnsiString(const char* text) : FData(text ? text : "") {}  // NOLINT: implicit as in the class library
    AnsiString(const char* text, int length) : FData(text, length > 0 ? std::size_t(length) : 0) {}
    AnsiString(std::string text) : FData(std::move(text)) {}  // NOLINT
    AnsiString(std::string_view text) : FData(text) {}        // NOLINT
    explicit AnsiString(char c) : FData(1, c) {}
    explicit AnsiString(int value) : FData(std::to_string(value)) {}

    // Always zero-terminated, never null.
    const char* c_str() const { return FData.c_str(); }
    int Length() const { return static_cast<int>(FData.size()); }
    bool IsEmpty() const { return FData.empty(); }

    // 1-based byte access.
    char& operator[](int index) { return FData[std::size_t(index - 1)]; }
    char operator[](int index) const { return FData[std::size_t(index - 1)]; }

    // Position (from 1) of the first occurrence of sub, 0 when absent.
    int Pos(const AnsiString& sub) const {
        auto at = FData.find(sub.FData);
        return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
    }
    // count bytes from index (from 1); clipped to the string, empty when outside.
    AnsiString SubString(int index, int count) const {
        // 64-bit bounds, so that no index and count overflow.
        long long first = index;
        long long end = static_cast<long long>(index) + count;
        if (first < 1) first = 1;
        if (end > Length() + 1LL) end = Length() + 1LL;
        if (end <= first) return {};
        return AnsiString(FData.substr(std::size_t(first - 1), std::size_t(end - first)));
    }
    AnsiString& Delete(int index, int count) {
        if (index >= 1 && index <= Length() && count > 0) FData.erase(std::size_t(index - 1), std::size_t(count));
        return *this;
    }
    AnsiString& Insert(const AnsiString& text, int index) {
        if (index < 1) index = 1;
        if (index > Length() + 1) index = Length() + 1;
        FData.insert(std::size_t(index - 1), text.FData);
        return *this;
    }
    void SetLength(int length) { FData.resize(length > 0 ? std::size_t(length) : 0); }

    AnsiString& operator+=(const AnsiString& other) {
        FData += other.FData;
        return *this;
    }
    AnsiString& operator+=(char c) {
        FData += c;
        return *this;
    }
    friend AnsiString operator+(AnsiString a, const AnsiString& b) { return a += b; }
    friend AnsiString operator+(AnsiString a, const char* b) { return a += AnsiString(b); }
    friend AnsiString operator+(const char* a, const AnsiString& b) { return AnsiString(a) += b; }
    friend bool operator==(const AnsiString& a, const AnsiString& b) = default;
    friend auto operator<=>(const AnsiString& a, const AnsiString& b) = default;

    const std::string& str() const { return FData; }
    std::string_view view() const { return FData; }

private:
    std::string FData;
};
