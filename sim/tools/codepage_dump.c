/* Dumps what the platform's MultiByteToWideChar and WideCharToMultiByte give for
 * code pages 932 and 1252, and for a list of odd cases (those also of UTF-8),
 * so that make-codepage-tables.py can write the differences from the host's
 * converter into sim/CodePageTables.cpp, and codepage_check.cpp can replay
 * every call against the simulated desktop.
 *
 * Build with MinGW and run on the platform (make-codepage-tables.py does both):
 *   codepage_dump OUTPUT
 *
 * Every line is one record, fields separated by single spaces. Texts are
 * written as hexadecimal code units (bytes as two digits, UTF-16 units as four)
 * joined by '.'; "-" is the empty text, "null" a null pointer.
 *   A acp                                  GetACP()
 *   L page byte isLead                     IsDBCSLeadByteEx
 *   M name page flags input length room result err output
 *   W name page flags input length room default askUsed result err used output
 * M is a MultiByteToWideChar call, W a WideCharToMultiByte call: the input
 * (with its terminating zero when length is -1), the length and room passed,
 * default the lpDefaultChar text with its zero ("null" for none), askUsed 1
 * when lpUsedDefaultChar was passed. result is the return value, err the last
 * error after a failed call (else 0), used what lpUsedDefaultChar got (-1: not
 * asked), output the units the call counted, or after a failure what it left
 * in the buffer (which starts filled with 0xCC bytes, so a partial write shows).
 * Lines named "-" are the tables: every byte of both pages and, for 932, every
 * lead byte followed by every byte, with flags 0 and MB_ERR_INVALID_CHARS;
 * every UTF-16 unit, with flags 0 and WC_NO_BEST_FIT_CHARS. Other lines are
 * odd cases, named.
 */
#include <windows.h>
#include <stdio.h>
#include <string.h>

static FILE *out;

static void HexBytes(const unsigned char *p, int n) {
  int i;
  if (n <= 0) {
    fputs("-", out);
    return;
  }
  for (i = 0; i < n; ++i) fprintf(out, i ? ".%02X" : "%02X", p[i]);
}

static void HexUnits(const WCHAR *p, int n) {
  int i;
  if (n <= 0) {
    fputs("-", out);
    return;
  }
  for (i = 0; i < n; ++i) fprintf(out, i ? ".%04X" : "%04X", (unsigned)p[i]);
}

static void Mb(const char *name, UINT page, DWORD flags, const char *in, int inLen, int room) {
  WCHAR buf[64];
  int r, i, shown;
  DWORD err;
  fprintf(out, "M %s %u %lX ", name, page, (unsigned long)flags);
  if (in)
    HexBytes((const unsigned char *)in, inLen < 0 ? (int)strlen(in) + 1 : inLen);
  else
    fputs("null", out);
  fprintf(out, " %d %d", inLen, room);
  for (i = 0; i < 64; ++i) buf[i] = 0xCCCC;
  SetLastError(0);
  r = MultiByteToWideChar(page, flags, in, inLen, room ? buf : NULL, room);
  err = r ? 0 : GetLastError();
  fprintf(out, " %d %lu ", r, (unsigned long)err);
  shown = r > 0 && room ? r : room;
  if (r <= 0)
    while (shown > 0 && buf[shown - 1] == 0xCCCC) --shown;
  HexUnits(buf, shown);
  fputc('\n', out);
}

static void Wc(const char *name, UINT page, DWORD flags, const WCHAR *in, int inLen, int room,
               const char *defChar, int askUsed) {
  unsigned char buf[64];
  int r, shown;
  DWORD err;
  BOOL used = 7;
  fprintf(out, "W %s %u %lX ", name, page, (unsigned long)flags);
  if (in)
    HexUnits(in, inLen < 0 ? lstrlenW(in) + 1 : inLen);
  else
    fputs("null", out);
  fprintf(out, " %d %d ", inLen, room);
  if (defChar)
    HexBytes((const unsigned char *)defChar, (int)strlen(defChar) + 1);
  else
    fputs("null", out);
  fprintf(out, " %d", askUsed);
  memset(buf, 0xCC, sizeof buf);
  SetLastError(0);
  r = WideCharToMultiByte(page, flags, in, inLen, room ? (char *)buf : NULL, room, defChar,
                          askUsed ? &used : NULL);
  err = r ? 0 : GetLastError();
  fprintf(out, " %d %lu %d ", r, (unsigned long)err, askUsed ? (int)used : -1);
  shown = r > 0 && room ? r : room;
  if (r <= 0)
    while (shown > 0 && buf[shown - 1] == 0xCC) --shown;
  HexBytes(buf, shown);
  fputc('\n', out);
}

static void Tables(UINT page) {
  int b, t;
  unsigned u;
  for (b = 0; b < 256; ++b)
    fprintf(out, "L %u %02X %d\n", page, b, IsDBCSLeadByteEx(page, (BYTE)b) ? 1 : 0);
  for (b = 0; b < 256; ++b) {
    char in[1];
    in[0] = (char)b;
    Mb("-", page, 0, in, 1, 8);
    Mb("-", page, MB_ERR_INVALID_CHARS, in, 1, 8);
  }
  for (b = 0; b < 256; ++b) {
    if (!IsDBCSLeadByteEx(page, (BYTE)b)) continue;
    for (t = 0; t < 256; ++t) {
      char in[2];
      in[0] = (char)b;
      in[1] = (char)t;
      Mb("-", page, 0, in, 2, 8);
      Mb("-", page, MB_ERR_INVALID_CHARS, in, 2, 8);
    }
  }
  for (u = 0; u < 0x10000; ++u) {
    WCHAR in[1];
    in[0] = (WCHAR)u;
    Wc("-", page, 0, in, 1, 8, NULL, 1);
    Wc("-", page, WC_NO_BEST_FIT_CHARS, in, 1, 8, NULL, 1);
  }
}

static void OddCases(void) {
  static const WCHAR kanji2[] = {0x8868, 0x793A, 0}; /* 表示 */
  static const WCHAR so_a[] = {0x30BD, 'a', 0};      /* ソa */
  static const WCHAR pair[] = {0xD842, 0xDFB7, 0};   /* U+20BB7 */
  static const WCHAR smile[] = {'a', 0xD83D, 0xDE00, 'b', 0};
  static const WCHAR loneHigh[] = {0xD842, 'a', 0};
  static const WCHAR loneLow[] = {0xDFB7, 'a', 0};
  static const WCHAR highAtEnd[] = {'a', 0xD842, 0};
  static const WCHAR twoHigh[] = {0xD842, 0xD842, 0xDFB7, 0};
  static const WCHAR abc[] = {'a', 'b', 'c', 0};
  static const WCHAR e_acute[] = {0xE9, 0};
  static const WCHAR yen[] = {0xA5, 0};
  static const WCHAR nul_mid[] = {'a', 0, 'b', 0};
  static const WCHAR comb[] = {'e', 0x301, 0};

  Mb("mb932-lead-at-end", 932, 0, "\x81", 1, 8);
  Mb("mb932-lead-at-end-err", 932, MB_ERR_INVALID_CHARS, "\x81", 1, 8);
  Mb("mb932-a-lead-at-end", 932, 0, "a\x81", 2, 8);
  Mb("mb932-a-lead-nul-terminated", 932, 0, "a\x81", -1, 8);
  Mb("mb932-a-lead-nul-b", 932, 0, "a\x81\0b", 4, 8);
  Mb("mb932-lead-space", 932, 0, "\x81 x", 3, 8);
  Mb("mb932-lead-space-err", 932, MB_ERR_INVALID_CHARS, "\x81 x", 3, 8);
  Mb("mb932-lead-7F", 932, 0, "\x81\x7Fx", 3, 8);
  Mb("mb932-lead-FD", 932, 0, "\x81\xFDx", 3, 8);
  Mb("mb932-lead-lead", 932, 0, "\x81\x81\x40", 3, 8);
  Mb("mb932-undefined-pair", 932, 0, "\x85\x40x", 3, 8);
  Mb("mb932-undefined-pair-err", 932, MB_ERR_INVALID_CHARS, "\x85\x40x", 3, 8);
  Mb("mb932-pair-30FB-err", 932, MB_ERR_INVALID_CHARS, "\x81\x45", 2, 8);
  Mb("mb932-80-A0-FD-FE-FF", 932, 0, "\x80\xA0\xFD\xFE\xFF", 5, 8);
  Mb("mb932-80-A0-FD-FE-FF-err", 932, MB_ERR_INVALID_CHARS, "\x80\xA0\xFD\xFE\xFF", 5, 8);
  Mb("mb932-size", 932, 0, "\x95\x5C\x8E\xA6", 4, 0);
  Mb("mb932-size-nul", 932, 0, "\x95\x5C\x8E\xA6", -1, 0);
  Mb("mb932-room1", 932, 0, "\x95\x5C\x8E\xA6", 4, 1);
  Mb("mb932-room2-nul", 932, 0, "\x95\x5C\x8E\xA6", -1, 2);
  Mb("mb932-room3-nul", 932, 0, "\x95\x5C\x8E\xA6", -1, 3);
  Mb("mb932-user-defined-err", 932, MB_ERR_INVALID_CHARS, "\xF0\x40", 2, 8);
  Mb("mb932-room0-null-input", 932, 0, NULL, 3, 8);
  Mb("mb932-zero-length", 932, 0, "a", 0, 8);
  Mb("mb932-flags-precomposed", 932, MB_PRECOMPOSED, "a", 1, 8);
  Mb("mb932-flags-composite", 932, MB_COMPOSITE, "a", 1, 8);
  Mb("mb932-flags-useglyph", 932, MB_USEGLYPHCHARS, "a", 1, 8);
  Mb("mb932-flags-bad", 932, 0x100, "a", 1, 8);
  Mb("mb1252-undefined", 1252, 0, "\x81\x8D\x8F\x90\x9D", 5, 8);
  Mb("mb1252-undefined-err", 1252, MB_ERR_INVALID_CHARS, "\x81\x8D\x8F\x90\x9D", 5, 8);
  Mb("mb1252-room2", 1252, 0, "abc", 3, 2);
  Mb("mb-page-bad", 12345, 0, "a", 1, 8);
  Mb("mb-page-acp", CP_ACP, 0, "\x83\x5C", 2, 8);
  Mb("mb-page-oem", CP_OEMCP, 0, "\x83\x5C", 2, 8);

  Mb("utf8-80", CP_UTF8, 0, "a\x80z", 3, 8);
  Mb("utf8-80-err", CP_UTF8, MB_ERR_INVALID_CHARS, "a\x80z", 3, 8);
  Mb("utf8-C0-80", CP_UTF8, 0, "a\xC0\x80z", 4, 8);
  Mb("utf8-C1-BF", CP_UTF8, 0, "a\xC1\xBFz", 4, 8);
  Mb("utf8-C3-end", CP_UTF8, 0, "a\xC3", 2, 8);
  Mb("utf8-C3-nul", CP_UTF8, 0, "a\xC3", -1, 8);
  Mb("utf8-E3-81-end", CP_UTF8, 0, "a\xE3\x81", 3, 8);
  Mb("utf8-E3-81-z", CP_UTF8, 0, "a\xE3\x81z", 4, 8);
  Mb("utf8-E3-z-end", CP_UTF8, 0, "a\xE3z", 3, 8);
  Mb("utf8-E3-z-z", CP_UTF8, 0, "a\xE3zz", 4, 8);
  Mb("utf8-room2-abc", CP_UTF8, 0, "abc", 3, 2);
  Mb("utf8-E0-80-80", CP_UTF8, 0, "a\xE0\x80\x80z", 5, 8);
  Mb("utf8-E0-9F-BF", CP_UTF8, 0, "a\xE0\x9F\xBFz", 5, 8);
  Mb("utf8-ED-A0-80", CP_UTF8, 0, "a\xED\xA0\x80z", 5, 8);
  Mb("utf8-ED-A0-80-err", CP_UTF8, MB_ERR_INVALID_CHARS, "a\xED\xA0\x80z", 5, 8);
  Mb("utf8-ED-A0-BD-ED-B8-80", CP_UTF8, 0, "\xED\xA0\xBD\xED\xB8\x80", 6, 8);
  Mb("utf8-F0-9F-98-80", CP_UTF8, 0, "a\xF0\x9F\x98\x80z", 6, 8);
  Mb("utf8-F0-80-80-80", CP_UTF8, 0, "a\xF0\x80\x80\x80z", 6, 8);
  Mb("utf8-F0-8F-BF-BF", CP_UTF8, 0, "a\xF0\x8F\xBF\xBFz", 6, 8);
  Mb("utf8-F0-9F-98-end", CP_UTF8, 0, "a\xF0\x9F\x98", 4, 8);
  Mb("utf8-F0-80-80-end", CP_UTF8, 0, "a\xF0\x80\x80", 4, 8);
  Mb("utf8-F4-90-80-end", CP_UTF8, 0, "a\xF4\x90\x80", 4, 8);
  Mb("utf8-F0-9F-z", CP_UTF8, 0, "a\xF0\x9Fz", 4, 8);
  Mb("utf8-F4-8F-BF-BF", CP_UTF8, 0, "a\xF4\x8F\xBF\xBFz", 6, 8);
  Mb("utf8-F4-90-80-80", CP_UTF8, 0, "a\xF4\x90\x80\x80z", 6, 8);
  Mb("utf8-F5-80-80-80", CP_UTF8, 0, "a\xF5\x80\x80\x80z", 6, 8);
  Mb("utf8-F8-88-80-80-80", CP_UTF8, 0, "a\xF8\x88\x80\x80\x80z", 7, 8);
  Mb("utf8-FE-FF", CP_UTF8, 0, "a\xFE\xFFz", 4, 8);
  Mb("utf8-EF-BF-BF", CP_UTF8, 0, "\xEF\xBF\xBF", 3, 8);
  Mb("utf8-EF-BB-BF-bom", CP_UTF8, 0, "\xEF\xBB\xBFz", 4, 8);
  Mb("utf8-room1-pair", CP_UTF8, 0, "\xF0\x9F\x98\x80", 4, 1);
  Mb("utf8-room3-a-pair", CP_UTF8, 0, "aa\xF0\x9F\x98\x80", 6, 3);
  Mb("utf8-size-pair", CP_UTF8, 0, "\xF0\x9F\x98\x80", 4, 0);
  Mb("utf8-flags-precomposed", CP_UTF8, MB_PRECOMPOSED, "a", 1, 8);
  Mb("utf8-flags-err", CP_UTF8, MB_ERR_INVALID_CHARS, "a", 1, 8);

  Wc("wc932-kanji", 932, 0, kanji2, 2, 8, NULL, 1);
  Wc("wc932-size", 932, 0, kanji2, 2, 0, NULL, 1);
  Wc("wc932-size-nul", 932, 0, kanji2, -1, 0, NULL, 1);
  Wc("wc932-room1-so-a", 932, 0, so_a, 2, 1, NULL, 1);
  Wc("wc932-room2-so-a", 932, 0, so_a, 2, 2, NULL, 1);
  Wc("wc932-room3-kanji2", 932, 0, kanji2, 2, 3, NULL, 1);
  Wc("wc932-room4-kanji2-nul", 932, 0, kanji2, -1, 4, NULL, 1);
  Wc("wc932-room2-abc", 932, 0, abc, 3, 2, NULL, 1);
  Wc("wc1252-room2-abc", 1252, 0, abc, 3, 2, NULL, 1);
  Wc("wc932-pair", 932, 0, pair, 2, 8, NULL, 1);
  Wc("wc932-pair-nobest", 932, WC_NO_BEST_FIT_CHARS, pair, 2, 8, NULL, 1);
  Wc("wc932-pair-star", 932, 0, pair, 2, 8, "*", 1);
  Wc("wc932-smile", 932, 0, smile, 4, 8, NULL, 1);
  Wc("wc932-lone-high", 932, 0, loneHigh, 2, 8, NULL, 1);
  Wc("wc932-lone-low", 932, 0, loneLow, 2, 8, NULL, 1);
  Wc("wc932-high-at-end", 932, 0, highAtEnd, 2, 8, NULL, 1);
  Wc("wc932-two-high", 932, 0, twoHigh, 3, 8, NULL, 1);
  Wc("wc1252-pair", 1252, 0, pair, 2, 8, NULL, 1);
  Wc("wc1252-pair-nobest", 1252, WC_NO_BEST_FIT_CHARS, pair, 2, 8, NULL, 1);
  Wc("wc1252-smile", 1252, 0, smile, 4, 8, NULL, 1);
  Wc("wc932-e-acute", 932, 0, e_acute, 1, 8, NULL, 1);
  Wc("wc932-e-acute-nobest", 932, WC_NO_BEST_FIT_CHARS, e_acute, 1, 8, NULL, 1);
  Wc("wc932-e-acute-star", 932, WC_NO_BEST_FIT_CHARS, e_acute, 1, 8, "*", 1);
  Wc("wc932-e-acute-nullused", 932, WC_NO_BEST_FIT_CHARS, e_acute, 1, 8, NULL, 0);
  Wc("wc932-e-acute-two-byte-default", 932, WC_NO_BEST_FIT_CHARS, e_acute, 1, 8, "\x81\x45", 1);
  Wc("wc932-e-acute-lead-default", 932, WC_NO_BEST_FIT_CHARS, e_acute, 1, 8, "\x81", 1);
  Wc("wc932-e-acute-ab-default", 932, WC_NO_BEST_FIT_CHARS, e_acute, 1, 8, "ab", 1);
  Wc("wc1252-kanji-ab-default", 1252, WC_NO_BEST_FIT_CHARS, kanji2, 1, 8, "ab", 1);
  Wc("wc932-room5-kanji2-nul", 932, 0, kanji2, -1, 5, NULL, 1);
  Wc("wc932-yen", 932, 0, yen, 1, 8, NULL, 1);
  Wc("wc932-yen-nobest", 932, WC_NO_BEST_FIT_CHARS, yen, 1, 8, NULL, 1);
  Wc("wc932-nul-mid", 932, 0, nul_mid, 3, 8, NULL, 1);
  Wc("wc932-combining", 932, 0, comb, 2, 8, NULL, 1);
  Wc("wc932-null-input", 932, 0, NULL, 2, 8, NULL, 1);
  Wc("wc932-zero-length", 932, 0, abc, 0, 8, NULL, 1);
  Wc("wc932-flags-bad", 932, 0x10000, abc, 1, 8, NULL, 1);
  Wc("wc932-flags-err", 932, WC_ERR_INVALID_CHARS, abc, 1, 8, NULL, 1);
  Wc("wc932-flags-composite", 932, WC_COMPOSITECHECK, abc, 1, 8, NULL, 1);
  Wc("wc932-flags-discardns", 932, WC_DISCARDNS, abc, 1, 8, NULL, 1);
  Wc("wc932-flags-defaultchar", 932, WC_DEFAULTCHAR, abc, 1, 8, NULL, 1);
  Wc("wc-page-bad", 12345, 0, abc, 1, 8, NULL, 1);
  Wc("wc-page-acp", CP_ACP, 0, so_a, 2, 8, NULL, 1);

  Wc("wc8-pair", CP_UTF8, 0, pair, 2, 8, NULL, 0);
  Wc("wc8-lone-high", CP_UTF8, 0, loneHigh, 2, 8, NULL, 0);
  Wc("wc8-lone-high-err", CP_UTF8, WC_ERR_INVALID_CHARS, loneHigh, 2, 8, NULL, 0);
  Wc("wc8-lone-low", CP_UTF8, 0, loneLow, 2, 8, NULL, 0);
  Wc("wc8-high-at-end", CP_UTF8, 0, highAtEnd, 2, 8, NULL, 0);
  Wc("wc8-two-high", CP_UTF8, 0, twoHigh, 3, 8, NULL, 0);
  Wc("wc8-room3-pair", CP_UTF8, 0, pair, 2, 3, NULL, 0);
  Wc("wc8-room2-e-acute", CP_UTF8, 0, e_acute, 1, 1, NULL, 0);
  Wc("wc8-room4-abc-pair", CP_UTF8, 0, smile, 4, 4, NULL, 0);
  Wc("wc8-used", CP_UTF8, 0, abc, 3, 8, NULL, 1);
  Wc("wc8-default", CP_UTF8, 0, abc, 3, 8, "?", 0);
  Wc("wc8-flags-nobest", CP_UTF8, WC_NO_BEST_FIT_CHARS, abc, 3, 8, NULL, 0);
  Wc("wc8-flags-composite", CP_UTF8, WC_COMPOSITECHECK, abc, 3, 8, NULL, 0);
  Wc("wc8-size-pair", CP_UTF8, 0, pair, 2, 0, NULL, 0);
}

int main(int argc, char **argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: codepage_dump OUTPUT\n");
    return 2;
  }
  out = fopen(argv[1], "wb");
  if (!out) {
    fprintf(stderr, "cannot write %s\n", argv[1]);
    return 2;
  }
  fprintf(out, "A %u\n", GetACP());
  OddCases();
  Tables(932);
  Tables(1252);
  fputs("E\n", out);
  return fclose(out) == 0 ? 0 : 1;
}
