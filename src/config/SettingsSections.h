// The line reader and the two sections of the settings file.
#ifndef TAVIX_CONFIG_SETTINGSSECTIONS_H
#define TAVIX_CONFIG_SETTINGSSECTIONS_H

#include "../common/RunState.h"

enum { MaxSettingsLineChars = 517 };

// Reads the line that starts at offset: an LF ends it and is consumed, CR and TAB are dropped,
// characters beyond 517 are dropped. line must hold LineBufferSize characters. Returns the number
// of characters consumed, LF included.
int ReadSettingsLine(DWORD offset, DWORD length, const WCHAR* text, WCHAR* line);

// Fills list from line, starting at index start: names separated by ",", ended by CR or LF.
// Empty names are skipped, names are not trimmed, at most 20 names of 259 characters.
void ParseNameList(const WCHAR* line, int start, NameList* list);

// The [system] section: search path, title and filer lists, the restore flag.
void ParseSystemSection(const WCHAR* text, DWORD length);

// The [exec] section: the programs, their labels and templates.
void ParseExecSection(const WCHAR* text, DWORD length);

#endif
