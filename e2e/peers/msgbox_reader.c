/*
 * msgbox_reader: waits for a message box, describes it in a result file and presses OK.
 *
 *   msgbox_reader RESULT-FILE [TIMEOUT-SECONDS] [options]
 *     --owner-class NAME  only a box whose owner window has this class
 *     --pid N             only a box that belongs to this (Windows) process id
 *     --box-up FILE       create FILE once the box has been found and read
 *     --press-when FILE   press OK only after FILE exists (lets a caller take a screenshot)
 *     --no-press          describe the box and leave it open
 *
 * The result file holds key=value lines. Texts are given as hex bytes in the ANSI code page,
 * so a test can compare them with the exact bytes the program under test passed.
 * When no box turns up in time the file holds "status=timeout".
 *
 * A message box is a top-level window of class #32770. Its text is the static control with
 * id 0xFFFF (Windows and Wine alike); its icon is a static control of style SS_ICON (id 0x14
 * on Windows, 0x440 under Wine). Icon handles belong to the process that loaded them, so the
 * icon cannot be compared by handle from here: it is told apart by its pixels, comparing the
 * control's image on the screen with each standard icon drawn locally.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define TEXT_ID_MSGBOX 0xFFFF
#define BUF_SIZE 4096

typedef struct {
    const char *resultPath;
    DWORD timeoutMs;
    const char *ownerClass;
    DWORD pid;
    const char *boxUpPath;
    const char *pressWhenPath;
    int press;
} Options;

typedef struct {
    const Options *opt;
    HWND found;
} FindState;

typedef struct {
    HWND text;
    HWND icon;
    HWND buttons[16];
    int buttonCount;
} BoxParts;

static void HexOf(const char *bytes, size_t len, char *out, size_t outSize)
{
    static const char digits[] = "0123456789abcdef";
    size_t o = 0;
    for (size_t i = 0; i < len && o + 3 < outSize; i++) {
        unsigned char c = (unsigned char)bytes[i];
        out[o++] = digits[c >> 4];
        out[o++] = digits[c & 15];
    }
    out[o] = 0;
}

static int FileExists(const char *path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

static void TouchFile(const char *path)
{
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
}

static BOOL CALLBACK FindBoxProc(HWND hwnd, LPARAM param)
{
    FindState *st = (FindState *)param;
    char cls[64];
    if (!GetClassNameA(hwnd, cls, sizeof cls) || strcmp(cls, "#32770") != 0)
        return TRUE;
    if (!IsWindowVisible(hwnd))
        return TRUE;
    if (st->opt->pid) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid != st->opt->pid)
            return TRUE;
    }
    if (st->opt->ownerClass) {
        HWND owner = GetWindow(hwnd, GW_OWNER);
        char ownerCls[256] = "";
        if (!owner || !GetClassNameA(owner, ownerCls, sizeof ownerCls)
            || lstrcmpiA(ownerCls, st->opt->ownerClass) != 0)
            return TRUE;
    }
    st->found = hwnd;
    return FALSE;
}

static BOOL CALLBACK CollectPartsProc(HWND child, LPARAM param)
{
    BoxParts *parts = (BoxParts *)param;
    char cls[64];
    GetClassNameA(child, cls, sizeof cls);
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if (lstrcmpiA(cls, "Static") == 0) {
        if ((style & SS_TYPEMASK) == SS_ICON)
            parts->icon = child;
        else if (GetDlgCtrlID(child) == TEXT_ID_MSGBOX)
            parts->text = child;
    } else if (lstrcmpiA(cls, "Button") == 0 && IsWindowVisible(child)
               && parts->buttonCount < (int)(sizeof parts->buttons / sizeof parts->buttons[0])) {
        parts->buttons[parts->buttonCount++] = child;
    }
    return TRUE;
}

/* Makes sure the box has painted itself, so that its pixels on the screen can be read. */
static void SettleBox(HWND box)
{
    DWORD pid = 0;
    DWORD_PTR ignored;
    GetWindowThreadProcessId(box, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (process) {
        WaitForInputIdle(process, 3000);
        CloseHandle(process);
    }
    RedrawWindow(box, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    SendMessageTimeoutA(box, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 3000, &ignored);
}

/* A 32-bit top-down bitmap of w*h pixels, the layout both pixel buffers use. */
static void TopDownBitmapInfo(BITMAPINFO *bi, int w, int h)
{
    memset(bi, 0, sizeof *bi);
    bi->bmiHeader.biSize = sizeof bi->bmiHeader;
    bi->bmiHeader.biWidth = w;
    bi->bmiHeader.biHeight = -h;
    bi->bmiHeader.biPlanes = 1;
    bi->bmiHeader.biBitCount = 32;
    bi->bmiHeader.biCompression = BI_RGB;
}

/* Reads the control's pixels from the screen into a 32-bit top-down buffer of w*h pixels. */
static int CaptureScreen(const RECT *r, DWORD *pixels)
{
    int w = r->right - r->left, h = r->bottom - r->top;
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r->left, r->top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFO bi;
    TopDownBitmapInfo(&bi, w, h);
    int lines = GetDIBits(mem, bmp, 0, (UINT)h, pixels, &bi, DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    return lines == h;
}

/* Draws a standard icon on the given background colour, as the icon control would show it. */
static void RenderIcon(HICON icon, int w, int h, DWORD background, DWORD *pixels)
{
    BITMAPINFO bi;
    TopDownBitmapInfo(&bi, w, h);
    void *bits = NULL;
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    DWORD *px = (DWORD *)bits;
    for (int i = 0; i < w * h; i++)
        px[i] = background;
    DrawIconEx(mem, 0, 0, icon, 0, 0, 0, NULL, DI_NORMAL);
    GdiFlush();
    memcpy(pixels, bits, (size_t)w * h * sizeof(DWORD));
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
}

static int CountDifferent(const DWORD *a, const DWORD *b, int n)
{
    int diff = 0;
    for (int i = 0; i < n; i++)
        if ((a[i] & 0xFFFFFF) != (b[i] & 0xFFFFFF))
            diff++;
    return diff;
}

static const struct {
    const char *name;
    LPCSTR id;
} kStandardIcons[] = {
    {"error", IDI_HAND},
    {"question", IDI_QUESTION},
    {"warning", IDI_EXCLAMATION},
    {"information", IDI_ASTERISK},
};
#define STANDARD_ICON_COUNT (sizeof kStandardIcons / sizeof kStandardIcons[0])

/*
 * Names the standard icon the control shows, or "unknown". Writes the pixel difference to
 * each standard icon into scores, for the report.
 */
static const char *MatchIcon(HWND iconCtl, char *scores, size_t scoresSize)
{
    RECT r;
    GetWindowRect(iconCtl, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    scores[0] = 0;
    if (w <= 0 || h <= 0 || w > 256 || h > 256)
        return "unknown";
    DWORD *shown = malloc((size_t)w * h * sizeof(DWORD));
    DWORD *drawn = malloc((size_t)w * h * sizeof(DWORD));
    const char *best = "unknown";
    if (shown && drawn && CaptureScreen(&r, shown)) {
        /* The corners of every standard icon are transparent, so the top-left pixel is the
           background the control paints behind the icon. */
        DWORD background = shown[0];
        int bestDiff = w * h, secondDiff = w * h;
        size_t used = 0;
        for (size_t i = 0; i < STANDARD_ICON_COUNT; i++) {
            RenderIcon(LoadIconA(NULL, kStandardIcons[i].id), w, h, background, drawn);
            int diff = CountDifferent(shown, drawn, w * h);
            used += (size_t)snprintf(scores + used, scoresSize - used, "%s%s:%d",
                                     i ? "," : "", kStandardIcons[i].name, diff);
            if (used >= scoresSize)
                used = scoresSize - 1;
            if (diff < bestDiff) {
                secondDiff = bestDiff;
                bestDiff = diff;
                best = kStandardIcons[i].name;
            } else if (diff < secondDiff) {
                secondDiff = diff;
            }
        }
        /* A match must be close to exact and clearly better than the runner-up; anything
           else (a custom icon, a half-painted box) is reported as unknown. */
        if (bestDiff > w * h / 20 || bestDiff * 4 > secondDiff)
            best = "unknown";
    }
    free(shown);
    free(drawn);
    return best;
}

static const char *IconKind(HWND iconCtl, char *scores, size_t scoresSize)
{
    scores[0] = 0;
    if (!iconCtl || !IsWindowVisible(iconCtl))
        return "none";
    DWORD_PTR handle = 0;
    if (!SendMessageTimeoutA(iconCtl, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 3000, &handle))
        return "unknown";
    if (!handle)
        return "none";
    /* The box may still be painting: take the first answer that two readings agree on. */
    const char *previous = NULL;
    for (int attempt = 0; attempt < 40; attempt++) {
        const char *kind = MatchIcon(iconCtl, scores, scoresSize);
        if (previous && strcmp(kind, previous) == 0 && strcmp(kind, "unknown") != 0)
            return kind;
        previous = kind;
        Sleep(50);
    }
    return previous ? previous : "unknown";
}

static const char *ButtonName(int id)
{
    switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "CANCEL";
    case IDABORT: return "ABORT";
    case IDRETRY: return "RETRY";
    case IDIGNORE: return "IGNORE";
    case IDYES: return "YES";
    case IDNO: return "NO";
    case 8: return "CLOSE";
    case 9: return "HELP";
    case 10: return "TRYAGAIN";
    case 11: return "CONTINUE";
    default: return "OTHER";
    }
}

static void WriteWindowText(FILE *out, const char *key, HWND hwnd)
{
    char text[BUF_SIZE], hex[BUF_SIZE * 2 + 1];
    int len = hwnd ? GetWindowTextA(hwnd, text, sizeof text) : 0;
    HexOf(text, (size_t)(len > 0 ? len : 0), hex, sizeof hex);
    fprintf(out, "%s_hex=%s\n", key, hex);
}

static void WriteOwner(FILE *out, HWND box)
{
    HWND owner = GetWindow(box, GW_OWNER);
    fprintf(out, "owner=%s\n", owner ? "yes" : "none");
    if (!owner)
        return;
    char cls[256] = "";
    GetClassNameA(owner, cls, sizeof cls);
    DWORD pid = 0;
    GetWindowThreadProcessId(owner, &pid);
    fprintf(out, "owner_class=%s\n", cls);
    WriteWindowText(out, "owner_title", owner);
    fprintf(out, "owner_visible=%d\n", IsWindowVisible(owner) ? 1 : 0);
    fprintf(out, "owner_style=0x%08lx\n", (unsigned long)(DWORD)GetWindowLongA(owner, GWL_STYLE));
    fprintf(out, "owner_exstyle=0x%08lx\n", (unsigned long)(DWORD)GetWindowLongA(owner, GWL_EXSTYLE));
    fprintf(out, "owner_pid=%lu\n", (unsigned long)pid);
}

static void WriteReport(FILE *out, HWND box, const BoxParts *parts)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(box, &pid);
    fprintf(out, "status=found\n");
    fprintf(out, "acp=%u\n", GetACP());
    fprintf(out, "box_pid=%lu\n", (unsigned long)pid);
    WriteWindowText(out, "caption", box);
    fprintf(out, "text_control=%s\n", parts->text ? "yes" : "none");
    WriteWindowText(out, "text", parts->text);

    char scores[256];
    const char *icon = IconKind(parts->icon, scores, sizeof scores);
    fprintf(out, "icon=%s\n", icon);
    fprintf(out, "icon_scores=%s\n", scores);

    fprintf(out, "buttons=");
    for (int i = 0; i < parts->buttonCount; i++)
        fprintf(out, "%s%s", i ? "," : "", ButtonName(GetDlgCtrlID(parts->buttons[i])));
    fprintf(out, "\n");
    WriteOwner(out, box);
}

static HWND WaitForBox(const Options *opt)
{
    DWORD start = GetTickCount();
    for (;;) {
        FindState st = {opt, NULL};
        EnumWindows(FindBoxProc, (LPARAM)&st);
        if (st.found)
            return st.found;
        if (GetTickCount() - start >= opt->timeoutMs)
            return NULL;
        Sleep(20);
    }
}

static int WaitForFile(const char *path, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!FileExists(path)) {
        if (GetTickCount() - start >= timeoutMs)
            return 0;
        Sleep(20);
    }
    return 1;
}

/* Presses OK and waits until the box is gone; returns 1 when it closed. */
static int PressOk(HWND box, DWORD timeoutMs)
{
    HWND ok = GetDlgItem(box, IDOK);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)ok);
    DWORD start = GetTickCount();
    while (IsWindow(box) && IsWindowVisible(box)) {
        if (GetTickCount() - start >= timeoutMs)
            return 0;
        Sleep(20);
    }
    return 1;
}

static int ParseOptions(int argc, char **argv, Options *opt)
{
    memset(opt, 0, sizeof *opt);
    opt->timeoutMs = 20000;
    opt->press = 1;
    int positional = 0;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        int hasValue = i + 1 < argc;
        if (strcmp(a, "--owner-class") == 0 && hasValue)
            opt->ownerClass = argv[++i];
        else if (strcmp(a, "--pid") == 0 && hasValue)
            opt->pid = strtoul(argv[++i], NULL, 0);
        else if (strcmp(a, "--box-up") == 0 && hasValue)
            opt->boxUpPath = argv[++i];
        else if (strcmp(a, "--press-when") == 0 && hasValue)
            opt->pressWhenPath = argv[++i];
        else if (strcmp(a, "--no-press") == 0)
            opt->press = 0;
        else if (a[0] == '-' && a[1] == '-')
            return 0;
        else if (positional == 0) {
            opt->resultPath = a;
            positional++;
        } else if (positional == 1) {
            opt->timeoutMs = (DWORD)(atof(a) * 1000.0);
            positional++;
        } else
            return 0;
    }
    return opt->resultPath != NULL;
}

int main(int argc, char **argv)
{
    Options opt;
    if (!ParseOptions(argc, argv, &opt)) {
        fprintf(stderr, "usage: msgbox_reader RESULT-FILE [TIMEOUT-SECONDS] [--owner-class NAME]"
                        " [--pid N] [--box-up FILE] [--press-when FILE] [--no-press]\n");
        return 2;
    }
    /* The result is written beside its final name and renamed at the end, so a reader of the
       result file never sees half a report. */
    char partial[MAX_PATH + 16];
    snprintf(partial, sizeof partial, "%s.part", opt.resultPath);
    FILE *out = fopen(partial, "wb");
    if (!out) {
        fprintf(stderr, "msgbox_reader: cannot write %s\n", partial);
        return 2;
    }

    HWND box = WaitForBox(&opt);
    int rc = 0;
    if (!box) {
        fprintf(out, "status=timeout\n");
        rc = 1;
    } else {
        SettleBox(box);
        BoxParts parts;
        memset(&parts, 0, sizeof parts);
        EnumChildWindows(box, CollectPartsProc, (LPARAM)&parts);
        WriteReport(out, box, &parts);
        fflush(out);
        if (opt.boxUpPath)
            TouchFile(opt.boxUpPath);
        if (opt.press) {
            if (opt.pressWhenPath && !WaitForFile(opt.pressWhenPath, opt.timeoutMs))
                fprintf(out, "press_when=timeout\n");
            int closed = PressOk(box, 10000);
            fprintf(out, "pressed=1\nclosed=%d\n", closed);
            if (!closed)
                rc = 1;
        } else {
            fprintf(out, "pressed=0\n");
        }
    }
    fclose(out);
    if (!MoveFileExA(partial, opt.resultPath, MOVEFILE_REPLACE_EXISTING))
        rc = 2;
    return rc;
}
