// Helpers shared by the fuzz targets: the failure report, the input split into fields and made
// into UTF-16 texts, a small text model in UTF-16 that the targets' reference models are written
// in, and the checks of what a run handed out (the output paths of the trace, the clipboard).
// The model is kept apart from the product's text helpers on purpose: a target that checked
// the product against its own helpers would find nothing.
#ifndef TAVIX_TESTS_FUZZ_FUZZSUPPORT_H
#define TAVIX_TESTS_FUZZ_FUZZSUPPORT_H

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "SimWorld.h"

namespace fuzz {

inline bool IsHigh(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

inline bool IsLow(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// A text for a failure report: UTF-8, with control characters and each half of a surrogate
// that is in no pair written as an escape, so that the report shows every unit.
inline std::string Show(const std::u16string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); i++) {
        char32_t c = s[i];
        if (IsHigh(s[i]) && i + 1 < s.size() && IsLow(s[i + 1])) {
            c = 0x10000 + ((char32_t)(s[i] - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            i++;
        } else if (IsHigh(s[i]) || IsLow(s[i]) || c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", (unsigned)c);
            out += escape;
            continue;
        }
        if (c < 0x80) {
            out += (char)c;
        } else if (c < 0x800) {
            out += (char)(0xC0 | (c >> 6));
            out += (char)(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += (char)(0xE0 | (c >> 12));
            out += (char)(0x80 | ((c >> 6) & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        } else {
            out += (char)(0xF0 | (c >> 18));
            out += (char)(0x80 | ((c >> 12) & 0x3F));
            out += (char)(0x80 | ((c >> 6) & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        }
    }
    return out;
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

// The bytes split at 0xFF (a byte that neither UTF-8 nor Shift_JIS text holds); zero bytes are
// dropped, as a C string could not carry them.
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

// The UTF-16 text that an input field stands for, so that every sequence of UTF-16 units can be
// written and the usual ones are easy to write: a UTF-8 sequence gives its character, where a
// three-byte one may also encode half of a surrogate pair (ED A0 80 is a lone U+D800, and two
// halves written one after the other make a pair); otherwise a Shift_JIS two-byte character
// gives its character in code page 932 (kanji whose second byte is 0x5C among them); any other
// byte gives the character of the same number (0xE9 is é). Zero bytes give nothing.
// Needs the world: it converts the Shift_JIS characters with the world's code page, 932.
inline std::u16string Wide(const std::string& bytes)
{
    std::u16string out;
    const unsigned char* p = (const unsigned char*)bytes.data();
    const size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c == 0) {
            i++;
            continue;
        }
        if (c < 0x80) {
            out += (char16_t)c;
            i++;
            continue;
        }
        size_t length = (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3
                        : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
        if (length != 0 && i + length <= n) {
            char32_t value = c & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
            bool valid = true;
            for (size_t k = 1; k < length; k++) {
                valid = valid && (p[i + k] & 0xC0) == 0x80;
                value = (value << 6) | (p[i + k] & 0x3F);
            }
            if ((length == 3 && value < 0x800) || (length == 4 && (value < 0x10000 || value > 0x10FFFF)))
                valid = false;
            if (valid) {
                if (value >= 0x10000) {
                    out += (char16_t)(0xD800 + ((value - 0x10000) >> 10));
                    out += (char16_t)(0xDC00 + ((value - 0x10000) & 0x3FF));
                } else {
                    out += (char16_t)value;
                }
                i += length;
                continue;
            }
        }
        if (((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && i + 1 < n &&
            p[i + 1] >= 0x40 && p[i + 1] <= 0xFC && p[i + 1] != 0x7F) {
            std::u16string pair = sim::Widen(std::string((const char*)p + i, 2));
            if (pair.size() == 1 && pair[0] != 0) {
                out += pair;
                i += 2;
                continue;
            }
        }
        out += (char16_t)c;
        i++;
    }
    return out;
}

// The first maxUnits units of s, one less when the cut would split a surrogate pair.
inline std::u16string CutText(const std::u16string& s, size_t maxUnits)
{
    size_t n = s.size() < maxUnits ? s.size() : maxUnits;
    if (n > 0 && n < s.size() && IsHigh(s[n - 1]) && IsLow(s[n]))
        n--;
    return s.substr(0, n);
}

// Letter case as names compare: ASCII letters and the Latin-1 letters with their small forms.
// The targets compare with it only against names whose letters have no other equivalent
// (ASCII letters, é, Hangul, kanji), so that it says what the system's comparison says.
inline char16_t FoldName(char16_t c)
{
    if (c >= 'A' && c <= 'Z')
        return (char16_t)(c - 'A' + 'a');
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return (char16_t)(c + 0x20);
    return c;
}

inline std::u16string Folded(const std::u16string& s)
{
    std::u16string out = s;
    for (char16_t& c : out)
        c = FoldName(c);
    return out;
}

inline bool EqualNoCase(const std::u16string& a, const std::u16string& b)
{
    return Folded(a) == Folded(b);
}

// The offset of the first occurrence of an ASCII needle in s, without regard to letter case, or
// npos. Every unit is a possible start, as in the system's UTF-16 search.
inline size_t FindNoCase(const std::u16string& s, const std::u16string& needle)
{
    return Folded(s).find(Folded(needle));
}

inline std::u16string Join(const std::vector<std::u16string>& parts, const std::u16string& separator)
{
    std::u16string all;
    for (size_t i = 0; i < parts.size(); i++)
        all += (i ? separator : u"") + parts[i];
    return all;
}

// Copies a text into one of the program's buffers (which must hold it and its zero).
inline void Store(char16_t* buffer, const std::u16string& text)
{
    std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(char16_t));
}

// The bytes of a text file in UTF-16 little-endian with its byte-order mark.
inline std::string Utf16FileBytes(const std::u16string& text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += (char)(c & 0xFF);
        bytes += (char)(c >> 8);
    }
    return bytes;
}

// 1 when a fixed-size buffer holds a terminating zero, and then its text.
template <size_t N>
bool Terminated(const char16_t (&buffer)[N], std::u16string* text)
{
    for (size_t i = 0; i < N; i++)
        if (buffer[i] == 0) {
            text->assign(buffer, i);
            return true;
        }
    return false;
}

// The text survives the trip to the world's code page and back: every character is one the
// code page holds. Windows 98 knows no other texts.
inline bool FitsCodePage(const std::u16string& text)
{
    return sim::Widen(sim::Ansi(text)) == text;
}

// A folder path of exactly `length` units below C:\Long, in components of at most `component`
// units filled with `fill` (a character, or a surrogate pair: a pair is never split by a
// separator); a path that would end in a separator ends in `last` instead.
inline std::u16string LongFolder(size_t length, size_t component, const std::u16string& fill,
                                 char16_t last)
{
    std::u16string path = u"C:\\Long\\";
    size_t run = 0;
    while (path.size() < length) {
        if (run + fill.size() > component) {
            path += u'\\';
            run = 0;
        } else if (path.size() + fill.size() <= length) {
            path += fill;
            run += fill.size();
        } else {
            path += last;
            run++;
        }
    }
    if (path.back() == u'\\')
        path.back() = last;
    return path;
}

// The paths the run handed to its output, from the trace, in order.
inline std::vector<std::u16string> OutputPaths(const sim::World& world)
{
    const std::u16string mark = u"Tavix: output: \"";
    std::vector<std::u16string> paths;
    for (const std::u16string& line : world.traceWide)
        if (line.compare(0, mark.size(), mark) == 0 && line.size() > mark.size() &&
            line.back() == u'"')
            paths.push_back(line.substr(mark.size(), line.size() - mark.size() - 1));
    return paths;
}

// The clipboard after the program wrote the paths to it: CF_UNICODETEXT (on the NT family) is
// exactly the paths joined by CR LF; CF_TEXT is that text in the code page with '?' for every
// character the code page lacks, never a look-alike; each in a block of exactly its length
// and a zero, set in that order and by the program.
inline void CheckClipboard(const sim::World& world, const std::vector<std::u16string>& paths,
                           bool unicodeCalls, const char* target, const std::string& detail)
{
    const std::u16string joined = Join(paths, u"\r\n");
    const std::string ansi = sim::Ansi(joined);
    const sim::ClipboardTextRecord text = world.ClipboardText();
    const sim::ClipboardTextRecord unicode = world.ClipboardUnicodeText();
    const std::string expected = " expected [" + Show(joined) + "]";
    Require(text.present && text.setByProgram, target, "no CF_TEXT of the program", detail);
    Require(text.Text() == ansi, target, "CF_TEXT is not the paths in the code page",
            detail + expected + " CF_TEXT [" + text.Text() + "] wanted [" + ansi + "]");
    Require(text.blockSize == ansi.size() + 1, target, "CF_TEXT block size", detail);
    if (unicodeCalls) {
        Require(unicode.present && unicode.setByProgram, target, "no CF_UNICODETEXT", detail);
        Require(unicode.WideText() == joined, target, "CF_UNICODETEXT is not the paths",
                detail + expected + " got [" + Show(unicode.WideText()) + "]");
        Require(unicode.blockSize == 2 * (joined.size() + 1), target,
                "CF_UNICODETEXT block size", detail);
        Require(world.ClipboardFormats() == std::vector<UINT>{CF_UNICODETEXT, CF_TEXT}, target,
                "clipboard formats", detail);
    } else {
        Require(!unicode.present, target, "CF_UNICODETEXT on Windows 98", detail);
        Require(world.ClipboardFormats() == std::vector<UINT>{CF_TEXT}, target,
                "clipboard formats", detail);
    }
}

}  // namespace fuzz

#endif
