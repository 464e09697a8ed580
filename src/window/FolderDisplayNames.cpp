#include "FolderDisplayNames.h"

#include "../common/RunState.h"
#include "../common/Text.h"

struct SpecialFolderRow {
    const char* DisplayName;   // Shift_JIS, each blank a single ASCII blank
    int Csidl;
};

static const SpecialFolderRow SpecialFolderTable[] = {
    {"\x83\x7D\x83\x43 \x83\x68\x83\x4C\x83\x85\x83\x81\x83\x93\x83\x67", CSIDL_PERSONAL},  // マイ ドキュメント
    {"\x82\xA8\x8B\x43\x82\xC9\x93\xFC\x82\xE8", CSIDL_FAVORITES},                         // お気に入り
    {"\x83\x7D\x83\x43 \x83\x73\x83\x4E\x83\x60\x83\x83", CSIDL_MYPICTURES},               // マイ ピクチャ
    {"\x83\x7D\x83\x43 \x83\x7E\x83\x85\x81\x5B\x83\x57\x83\x62\x83\x4E", CSIDL_MYMUSIC},  // マイ ミュージック
    {"\x83\x7D\x83\x43 \x83\x72\x83\x66\x83\x49", CSIDL_MYVIDEO},                          // マイ ビデオ
    {"\x83\x66\x83\x58\x83\x4E\x83\x67\x83\x62\x83\x76", CSIDL_DESKTOP},                   // デスクトップ
    {"\x8B\xA4\x97\x4C\x83\x68\x83\x4C\x83\x85\x83\x81\x83\x93\x83\x67", CSIDL_COMMON_DOCUMENTS},  // 共有ドキュメント
    {"\x8B\xA4\x97\x4C\x83\x73\x83\x4E\x83\x60\x83\x83", CSIDL_COMMON_PICTURES},           // 共有ピクチャ
    {"\x8B\xA4\x97\x4C\x83\x7E\x83\x85\x81\x5B\x83\x57\x83\x62\x83\x4E", CSIDL_COMMON_MUSIC},  // 共有ミュージック
    {"\x8B\xA4\x97\x4C\x83\x72\x83\x66\x83\x49", CSIDL_COMMON_VIDEO},                      // 共有ビデオ
};

void LookupSpecialFolder(const char* text, char* result)
{
    ZeroMemory(result, LineBufferSize);
    for (int i = 0; i < (int)(sizeof SpecialFolderTable / sizeof SpecialFolderTable[0]); i++) {
        if (!TextEqual(text, SpecialFolderTable[i].DisplayName))
            continue;
        // The system writes at most MAX_PATH bytes; the result buffer is larger.
        if (!SHGetSpecialFolderPathA(NULL, result, SpecialFolderTable[i].Csidl, FALSE))
            result[0] = '\0';
        result[PathBufferSize - 1] = '\0';
        return;
    }
}
