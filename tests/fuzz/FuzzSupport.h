// Helpers shared by the fuzz targets: the failure report, the input split into fields, and a
// small text model of code page 932 that the targets' reference models are written in. The
// model is kept apart from the product's text helpers on purpose: a target that checked the
// product against its own helpers would find nothing.
#ifndef TAVIX_TESTS_FUZZ_FUZZSUPPORT_H
#define TAVIX_TESTS_FUZZ_FUZZSUPPORT_H

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace fuzz {

// A folder path of exactly `length` characters below C:\Long, in components of at most
// `component` characters filled with `fill`; a path that would end in a separator ends in
// `last` instead.
inline std::string LongFolder(size_t length, size_t component, char fill, char last)
{
    std::string path = "C:\\Long\\";
    while (path.size() < length)
        path += (path.size() % component == component - 1) ? '\\' : fill;
    if (path.back() == '\\')
        path.back() = last;
    return path;
}

// Aborts with the target's name and the broken rule, so that libFuzzer keeps the input.
inline void Require(bool condition, const char* target, const char* what,
                    const std::string& detail = "")
{
    if (!condition) {
        std::fprintf(stderr, "%s: %s\n", target, what);
        if (!detail.empty())
            std::fprintf(stderr, "%s\n", detail.c_str());
        std::abort();
    }
}

// The bytes split at 0xFF (a byte that no Shift_JIS text holds); zero bytes are dropped, as a
// C string could not carry them.
inline std::vector<std::string> Fields(const char* data, size_t size)
{
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < size; i++) {
        if (data[i] == '\xFF')
            fields.emplace_back();
        else if (data[i] != '\0')
            fields.back() += data[i];
    }
    return fields;
}

// Lead bytes of two-byte characters in code page 932.
inline bool IsLead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The width of the character at offset i of s: a lead byte with a byte after it takes two.
inline size_t CharWidth(const std::string& s, size_t i)
{
    return IsLead((unsigned char)s[i]) && i + 1 < s.size() ? 2 : 1;
}

// The first maxChars bytes of s, one less when the cut would split a two-byte character.
inline std::string CutText(const std::string& s, size_t maxChars)
{
    size_t n = 0;
    while (n < s.size()) {
        size_t w = CharWidth(s, n);
        if (n + w > maxChars)
            break;
        n += w;
    }
    return s.substr(0, n);
}

inline char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

// ASCII-only equality without regard to letter case (both texts hold no two-byte characters
// where this is used).
inline bool EqualNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++)
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    return true;
}

// The offset of the first occurrence of an ASCII needle in s, without regard to letter case,
// or npos. As in the system's search, a match starts only where a character starts: the
// second byte of a two-byte character never begins one.
inline size_t FindNoCase(const std::string& s, const std::string& needle)
{
    // Needle bytes are ASCII, so a window that equals them holds no lead byte: only the
    // window's start has to be a character boundary.
    for (size_t i = 0; i + needle.size() <= s.size(); i += CharWidth(s, i)) {
        size_t k = 0;
        while (k < needle.size() && FoldAscii(s[i + k]) == FoldAscii(needle[k]))
            k++;
        if (k == needle.size())
            return i;
    }
    return std::string::npos;
}

// The last character of s is a one-byte backslash (not the second byte of a two-byte one).
inline bool EndsWithBackslash(const std::string& s)
{
    size_t last = std::string::npos;
    for (size_t i = 0; i < s.size(); i += CharWidth(s, i))
        last = i;
    return last != std::string::npos && CharWidth(s, last) == 1 && s[last] == '\\';
}

inline std::string Join(const std::vector<std::string>& parts, const std::string& separator)
{
    std::string all;
    for (size_t i = 0; i < parts.size(); i++)
        all += (i ? separator : "") + parts[i];
    return all;
}

// 1 when a fixed-size buffer holds a terminating zero, and then the text's length.
inline bool Terminated(const char* buffer, size_t size, size_t* length)
{
    const void* zero = std::memchr(buffer, 0, size);
    if (zero == nullptr)
        return false;
    *length = (size_t)((const char*)zero - buffer);
    return true;
}

}  // namespace fuzz

#endif
