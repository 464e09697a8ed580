#include "VersionBox.h"

const char VersionText[] =
    // 「ナルテモ 読み取り専用」 followed by an ideographic space
    "\x81\x75\x83\x69\x83\x8B\x83\x65\x83\x82\x20\x93\xC7\x82\xDD\x8E\xE6\x82\xE8\x90\xEA"
    "\x97\x70\x81\x76\x81\x40\r\n"
    "\r\n"
    // six blanks, an ideographic space, a blank, Ver.1.07
    "      \x81\x40 Ver.1.07\r\n"
    "\r\n"
    // an ideographic space, two blanks, 2008年05月02日
    "\x81\x40  2008\x94\x4E" "05\x8C\x8E" "02\x93\xFA";

void ShowVersionBox(HWND owner)
{
    MessageBoxA(owner, VersionText, "Tavix", MB_OK);
}
