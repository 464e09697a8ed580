#include "FolderDisplayNames.h"

#include "../common/RunState.h"
#include "../common/SystemText.h"
#include "../common/Text.h"

struct SpecialFolderRow {
    const WCHAR* DisplayName;   // each blank a single ASCII blank
    int Csidl;
};

static const SpecialFolderRow SpecialFolderTable[] = {
    {WTEXT("\x30DE\x30A4 \x30C9\x30AD\x30E5\x30E1\x30F3\x30C8"), CSIDL_PERSONAL},  // マイ ドキュメント
    {WTEXT("\x304A\x6C17\x306B\x5165\x308A"), CSIDL_FAVORITES},                         // お気に入り
    {WTEXT("\x30DE\x30A4 \x30D4\x30AF\x30C1\x30E3"), CSIDL_MYPICTURES},               // マイ ピクチャ
    {WTEXT("\x30DE\x30A4 \x30DF\x30E5\x30FC\x30B8\x30C3\x30AF"), CSIDL_MYMUSIC},  // マイ ミュージック
    {WTEXT("\x30DE\x30A4 \x30D3\x30C7\x30AA"), CSIDL_MYVIDEO},                          // マイ ビデオ
    {WTEXT("\x30C7\x30B9\x30AF\x30C8\x30C3\x30D7"), CSIDL_DESKTOP},                   // デスクトップ
    {WTEXT("\x5171\x6709\x30C9\x30AD\x30E5\x30E1\x30F3\x30C8"), CSIDL_COMMON_DOCUMENTS},  // 共有ドキュメント
    {WTEXT("\x5171\x6709\x30D4\x30AF\x30C1\x30E3"), CSIDL_COMMON_PICTURES},           // 共有ピクチャ
    {WTEXT("\x5171\x6709\x30DF\x30E5\x30FC\x30B8\x30C3\x30AF"), CSIDL_COMMON_MUSIC},  // 共有ミュージック
    {WTEXT("\x5171\x6709\x30D3\x30C7\x30AA"), CSIDL_COMMON_VIDEO},                      // 共有ビデオ
};

void LookupSpecialFolder(const WCHAR* text, WCHAR* result)
{
    ZeroMemory(result, LineBufferSize * sizeof(WCHAR));
    for (int i = 0; i < (int)(sizeof SpecialFolderTable / sizeof SpecialFolderTable[0]); i++) {
        if (!TextEqual(text, SpecialFolderTable[i].DisplayName))
            continue;
        // The system writes at most MAX_PATH characters; the result buffer is larger.
        if (!SpecialFolderPath(result, SpecialFolderTable[i].Csidl))
            result[0] = 0;
        result[PathBufferSize - 1] = 0;
        return;
    }
}
