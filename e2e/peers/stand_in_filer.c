/*
 * stand_in_filer: a stand-in file manager whose windows a test describes in a config file.
 *
 *   stand_in_filer CONFIG-FILE READY-FILE [TIME-LIMIT-SECONDS]
 *
 * The config file is read as bytes, so titles and item texts in Shift_JIS can be written
 * straight into it. One "key=value" per line, lines ending in LF or CR LF; the value is
 * everything after the first '=' (it may hold further '=' signs). Empty lines and lines
 * starting with '#' are skipped. An unknown key or a bad value ends the program with exit
 * code 2 and a message on stderr, before any window is made.
 *
 *   encoding=utf-8    only as the first key: every value after it is UTF-8 (invalid UTF-8 is
 *                     refused), and the windows are made with the W functions: classes
 *                     registered with RegisterClassExW, windows made with CreateWindowExW,
 *                     texts set with SetWindowTextW and CBEM_SETITEMW, items inserted with
 *                     LVM_INSERTITEMW, subclassing through SetWindowLongPtrW. Their texts are
 *                     then UTF-16 throughout and may hold what no ANSI code page spells (é,
 *                     Hangul, characters beyond the BMP). Without it (or with encoding=ansi)
 *                     values are bytes in the ANSI code page and the A functions are used.
 *
 * Keys of the top-level window (before the first control=):
 *   title=BYTES       window title (default "Stand-in")
 *   class=NAME        window class (default "StandInFiler")
 *   hidden=1          the window is never shown
 *   front=1           once shown, the window makes itself the foreground window
 *   minimized=1       the window is shown minimized (a test then checks that it is restored)
 *   remove=PATH       the first LVM_GETITEM that any list view receives after READY-FILE is
 *                     written deletes this file first, so that a file present when the reading
 *                     program started is gone by the time it acts on what it read
 *   hang=ready        after READY-FILE is written the thread stops pumping messages for
 *                     120 s (at most until the time limit), as a hung program does
 *   exit=listview     the first LVM_GETITEM that any list view receives ends the program at
 *                     once (ExitProcess), as a program that exits while its items are read
 *   exit=address      the first WM_GETTEXT that a combo kind receives ends the program at
 *                     once, so its windows go while another program looks at them
 *   hang=listview     the first LVM_* message that any list view receives after READY-FILE is
 *                     written puts the thread to sleep in the same way
 *   hang=second-item  the second LVM_GETITEM after READY-FILE is written does so: the first
 *                     item is answered, then the program stops answering
 *   exit=second-item  the second LVM_GETITEM after READY-FILE is written ends the program,
 *                     in the middle of a read
 * LVM_GETITEM here and below means either form, LVM_GETITEMA or LVM_GETITEMW (and
 * LVM_GETITEMTEXT either of LVM_GETITEMTEXTA and LVM_GETITEMTEXTW): the answers are the same,
 * each in the form asked for. The ANSI form of a UTF-8 value is the system's conversion of it
 * to the ANSI code page, the wide form of an ANSI value the system's conversion from it.
 *
 * control=KIND starts a new control (numbered 0, 1, ... in order); the keys after it
 * configure that control. Kinds:
 *   combobox      a ComboBox of style CBS_DROPDOWN, showing text= in its edit field
 *   comboboxex    a ComboBoxEx32 with the ComboBox and Edit children the common control makes
 *   listview      a SysListView32, LVS_REPORT with one column
 *   superclassed  a list view superclassed under class= (default "TListView"): the list
 *                 view's class data registered again under that name, same window procedure
 *   nested        a child "CabinetWClass" holding a "SHELLDLL_DefView" holding a
 *                 SysListView32; the item keys configure that list view
 *   static        a plain child window of class= (default "StandInStatic"); text= is its text
 *
 * Keys of a control:
 *   parent=N         index of an earlier control to be the parent (default: the top level);
 *                    a virtual list's parent must be the top level, a static or a nested
 *                    control: the windows that answer its LVN_GETDISPINFO
 *   visible=0        the control is made without WS_VISIBLE
 *   class=NAME       class name (superclassed, static)
 *   text=BYTES       edit text (combobox, comboboxex) or window text (static)
 *   item=BYTES       one item text; repeatable, in order (list kinds)
 *   count=N          a virtual list (LVS_OWNERDATA) of N items named "item<index>", answered
 *                    through LVN_GETDISPINFO; replaces item= lines
 *   select=i,j,...   items selected with LVM_SETITEMSTATE
 *   claim=N          LVM_GETITEMCOUNT answers N whatever the real count is; everything else,
 *                    LVM_GETNEXTITEM included, is answered by the list view itself
 *   unterminated=1   combo kinds: WM_GETTEXT fills all wParam characters of the buffer with
 *                    the text (repeated to length, "x" when empty) and no terminating zero,
 *                    and returns wParam; characters are bytes in an ANSI window and UTF-16
 *                    code units with encoding=utf-8 (the system converts WM_GETTEXT of the
 *                    other form on its way). List kinds: LVM_GETITEM and LVM_GETITEMTEXT write
 *                    exactly cchTextMax characters (bytes or code units, as asked) of the item
 *                    text, repeated in the same way, with no terminating zero; LVM_GETITEM
 *                    fills the state when LVIF_STATE asks for it and answers TRUE,
 *                    LVM_GETITEMTEXT answers cchTextMax
 *   refuse=i,j,...   LVM_GETITEM answers FALSE (LVM_GETITEMTEXT 0) for these items
 *   nonsense=1       LVM_GETNEXTITEM answers indices that make no sense: in turn 7, 3,
 *                    2147483646, -5 and the start index itself, over and over
 *
 * READY-FILE is written once every window exists, is shown and holds its items and
 * selection. It is written beside its name and renamed into place, and holds the lines
 *   hwnd=<hex>  pid=<decimal>  foreground=<hex of GetForegroundWindow()>
 *   control=<index> hwnd=<hex> class=<name, UTF-8> [extras]
 * where the extras name the inner windows and the real state of the list kinds:
 *   combo=<hex> edit=<hex>                        comboboxex
 *   view=<hex>                                    nested (the SHELLDLL_DefView)
 *   list=<hex> items=<real count> selected=<n>    list kinds
 *
 * The program runs until its top-level window gets WM_CLOSE or the time limit (default
 * 120 s) has passed, then exits with code 0.
 */
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define HANG_MS 120000
#define MAX_CONTROLS 64
#define MAX_COUNT 100000000
#define LIMIT_TIMER 1
#define FRONT_WAIT_MS 3000

static const char PROP_CONTROL[] = "StandInFiler.Control";
static const char PROP_OLDPROC[] = "StandInFiler.OldProc";

enum Kind { KIND_COMBOBOX, KIND_COMBOBOXEX, KIND_LISTVIEW, KIND_SUPERCLASSED, KIND_NESTED,
            KIND_STATIC };
enum Hang { HANG_NONE, HANG_READY, HANG_LISTVIEW, HANG_SECOND_ITEM };
enum ExitOn { EXIT_NONE, EXIT_LISTVIEW, EXIT_ADDRESS, EXIT_SECOND_ITEM };

/* A configured text in both forms. */
typedef struct {
    char *data;  /* the ANSI form, always followed by a zero byte, which len does not count */
    size_t len;
    WCHAR *wide; /* the UTF-16 form, followed by a zero WCHAR, which wideLen does not count */
    size_t wideLen;
} Text;

typedef struct {
    int *values;
    int count;
} IndexList;

typedef struct {
    int kind;
    int parent;
    int visible;
    char cls[256];
    Text text;
    Text *items;
    int itemCount;
    int virtualCount; /* -1: a list of real items */
    IndexList select;
    int hasClaim;
    int claim;
    int unterminated;
    int nonsense;
    int nonsenseTurn;
    IndexList refuse;
    HWND hwnd;   /* the window the control's index names */
    HWND list;   /* list kinds: the list view */
    HWND combo;  /* comboboxex: its ComboBox */
    HWND edit;   /* comboboxex: its Edit */
    HWND view;   /* nested: the SHELLDLL_DefView */
} Control;

typedef struct {
    Text title;
    char cls[256];
    int hidden;
    int front;
    int minimized;
    int hang;
    int exitOn;
    Text removePath; /* empty: nothing to remove */
    Control controls[MAX_CONTROLS];
    int controlCount;
} Config;

static Config g_cfg;
static HWND g_top;
static int g_topNextY = 8;
static DWORD g_deadline;
static int g_hangListArmed;
static int g_itemRequests;   /* LVM_GETITEM received since READY-FILE was written */
static int g_exitArmed;   /* set once READY-FILE is written */
static int g_utf8;        /* encoding=utf-8: UTF-8 values, windows made with the W functions */
static int g_keysSeen;    /* keys read so far; encoding= must come before every other */

/* ---- config ------------------------------------------------------------------------- */

static void Fail(const char *what, const char *detail)
{
    fprintf(stderr, "stand_in_filer: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
    exit(2);
}

/* The text of `len` bytes in code page `cp` as UTF-16; NULL when `flags` make the conversion
   refuse it. */
static WCHAR *Widen(UINT cp, DWORD flags, const char *data, size_t len, size_t *wideLen)
{
    if (len > 0x7fffffff)
        Fail("value too long", NULL);
    int n = len ? MultiByteToWideChar(cp, flags, data, (int)len, NULL, 0) : 0;
    if (len && n == 0)
        return NULL;
    WCHAR *wide = malloc(((size_t)n + 1) * sizeof *wide);
    if (!wide)
        Fail("out of memory", NULL);
    if (n)
        MultiByteToWideChar(cp, flags, data, (int)len, wide, n);
    wide[n] = 0;
    *wideLen = (size_t)n;
    return wide;
}

/* The UTF-16 text in the ANSI code page, as the system's A functions convert it. */
static char *Narrow(const WCHAR *wide, size_t wideLen, size_t *len)
{
    int n = wideLen ? WideCharToMultiByte(CP_ACP, 0, wide, (int)wideLen, NULL, 0, NULL, NULL)
                    : 0;
    char *data = malloc((size_t)n + 1);
    if (!data)
        Fail("out of memory", NULL);
    if (n)
        WideCharToMultiByte(CP_ACP, 0, wide, (int)wideLen, data, n, NULL, NULL);
    data[n] = 0;
    *len = (size_t)n;
    return data;
}

/* A configured value: UTF-8 after encoding=utf-8, else ANSI bytes kept exactly as given. */
static Text MakeText(const char *data, size_t len)
{
    Text t;
    if (g_utf8) {
        t.wide = Widen(CP_UTF8, MB_ERR_INVALID_CHARS, data, len, &t.wideLen);
        if (!t.wide)
            Fail("a value is not valid UTF-8", data);
        t.data = Narrow(t.wide, t.wideLen, &t.len);
    } else {
        t.data = malloc(len + 1);
        if (!t.data)
            Fail("out of memory", NULL);
        memcpy(t.data, data, len);
        t.data[len] = 0;
        t.len = len;
        t.wide = Widen(CP_ACP, 0, data, len, &t.wideLen);
        if (!t.wide)
            t.wide = Widen(CP_ACP, 0, "", 0, &t.wideLen);
    }
    return t;
}

static void FreeText(Text *t)
{
    free(t->data);
    free(t->wide);
}

/* A class name or other ASCII-or-UTF-8 name as UTF-16, into a buffer of `size` WCHARs. */
static void WideName(WCHAR *out, int size, const char *name)
{
    if (!MultiByteToWideChar(g_utf8 ? CP_UTF8 : CP_ACP, 0, name, -1, out, size))
        Fail("bad name", name);
}

static long ParseNumber(const char *value, long low, long high)
{
    char *end;
    long n = strtol(value, &end, 10);
    if (end == value || *end || n < low || n > high)
        Fail("bad number", value);
    return n;
}

static IndexList ParseIndexList(const char *value)
{
    IndexList list = {NULL, 0};
    const char *p = value;
    while (*p) {
        char *end;
        long n = strtol(p, &end, 10);
        if (end == p || n < 0 || n > MAX_COUNT || (*end && *end != ','))
            Fail("bad index list", value);
        int *grown = realloc(list.values, (size_t)(list.count + 1) * sizeof *grown);
        if (!grown)
            Fail("out of memory", NULL);
        list.values = grown;
        list.values[list.count++] = (int)n;
        p = *end ? end + 1 : end;
    }
    return list;
}

static int InList(const IndexList *list, int index)
{
    for (int i = 0; i < list->count; i++)
        if (list->values[i] == index)
            return 1;
    return 0;
}

static void CopyName(char *out, size_t outSize, const char *value)
{
    if (!*value || strlen(value) >= outSize)
        Fail("bad class name", value);
    strcpy(out, value);
}

static int ParseKind(const char *value)
{
    static const char *const names[] = {"combobox", "comboboxex", "listview", "superclassed",
                                        "nested", "static"};
    for (int i = 0; i < (int)(sizeof names / sizeof names[0]); i++)
        if (strcmp(value, names[i]) == 0)
            return i;
    Fail("unknown control kind", value);
    return -1;
}

static void StartControl(const char *value)
{
    if (g_cfg.controlCount == MAX_CONTROLS)
        Fail("too many controls", NULL);
    Control *c = &g_cfg.controls[g_cfg.controlCount++];
    memset(c, 0, sizeof *c);
    c->kind = ParseKind(value);
    c->parent = -1;
    c->visible = 1;
    c->virtualCount = -1;
    c->text = MakeText("", 0);
    strcpy(c->cls, c->kind == KIND_SUPERCLASSED ? "TListView" : "StandInStatic");
}

static void AddItem(Control *c, const char *value, size_t len)
{
    Text *grown = realloc(c->items, (size_t)(c->itemCount + 1) * sizeof *grown);
    if (!grown)
        Fail("out of memory", NULL);
    c->items = grown;
    c->items[c->itemCount++] = MakeText(value, len);
}

static void SetTopKey(const char *key, const char *value, size_t len)
{
    if (strcmp(key, "title") == 0) {
        FreeText(&g_cfg.title);
        g_cfg.title = MakeText(value, len);
    } else if (strcmp(key, "class") == 0)
        CopyName(g_cfg.cls, sizeof g_cfg.cls, value);
    else if (strcmp(key, "hidden") == 0)
        g_cfg.hidden = (int)ParseNumber(value, 0, 1);
    else if (strcmp(key, "front") == 0)
        g_cfg.front = (int)ParseNumber(value, 0, 1);
    else if (strcmp(key, "minimized") == 0)
        g_cfg.minimized = (int)ParseNumber(value, 0, 1);
    else if (strcmp(key, "hang") == 0 && strcmp(value, "ready") == 0)
        g_cfg.hang = HANG_READY;
    else if (strcmp(key, "hang") == 0 && strcmp(value, "listview") == 0)
        g_cfg.hang = HANG_LISTVIEW;
    else if (strcmp(key, "hang") == 0 && strcmp(value, "second-item") == 0)
        g_cfg.hang = HANG_SECOND_ITEM;
    else if (strcmp(key, "exit") == 0 && strcmp(value, "second-item") == 0)
        g_cfg.exitOn = EXIT_SECOND_ITEM;
    else if (strcmp(key, "exit") == 0 && strcmp(value, "listview") == 0)
        g_cfg.exitOn = EXIT_LISTVIEW;
    else if (strcmp(key, "exit") == 0 && strcmp(value, "address") == 0)
        g_cfg.exitOn = EXIT_ADDRESS;
    else if (strcmp(key, "remove") == 0 && *value) {
        FreeText(&g_cfg.removePath);
        g_cfg.removePath = MakeText(value, len);
    }
    else
        Fail("unknown top-level key or value", key);
}

static void SetControlKey(Control *c, const char *key, const char *value, size_t len)
{
    int index = (int)(c - g_cfg.controls);
    if (strcmp(key, "parent") == 0)
        c->parent = (int)ParseNumber(value, 0, index - 1);
    else if (strcmp(key, "visible") == 0)
        c->visible = (int)ParseNumber(value, 0, 1);
    else if (strcmp(key, "class") == 0)
        CopyName(c->cls, sizeof c->cls, value);
    else if (strcmp(key, "text") == 0) {
        FreeText(&c->text);
        c->text = MakeText(value, len);
    } else if (strcmp(key, "item") == 0)
        AddItem(c, value, len);
    else if (strcmp(key, "count") == 0)
        c->virtualCount = (int)ParseNumber(value, 0, MAX_COUNT);
    else if (strcmp(key, "select") == 0)
        c->select = ParseIndexList(value);
    else if (strcmp(key, "claim") == 0) {
        c->hasClaim = 1;
        c->claim = (int)ParseNumber(value, -2147483647L - 1, 2147483647L);
    } else if (strcmp(key, "unterminated") == 0)
        c->unterminated = (int)ParseNumber(value, 0, 1);
    else if (strcmp(key, "refuse") == 0)
        c->refuse = ParseIndexList(value);
    else if (strcmp(key, "nonsense") == 0)
        c->nonsense = (int)ParseNumber(value, 0, 1);
    else
        Fail("unknown control key", key);
}

static void ParseLine(char *line, size_t len)
{
    if (len && line[len - 1] == '\r')
        line[--len] = 0;
    if (!len || line[0] == '#')
        return;
    char *eq = memchr(line, '=', len);
    if (!eq)
        Fail("line without '='", line);
    *eq = 0;
    const char *key = line, *value = eq + 1;
    size_t valueLen = len - (size_t)(value - line);
    if (strcmp(key, "encoding") == 0) {
        if (g_keysSeen)
            Fail("encoding= must be the first key", NULL);
        if (strcmp(value, "utf-8") == 0)
            g_utf8 = 1;
        else if (strcmp(value, "ansi") != 0)
            Fail("unknown encoding", value);
        g_keysSeen++;
        return;
    }
    g_keysSeen++;
    if (strcmp(key, "control") == 0)
        StartControl(value);
    else if (g_cfg.controlCount == 0)
        SetTopKey(key, value, valueLen);
    else
        SetControlKey(&g_cfg.controls[g_cfg.controlCount - 1], key, value, valueLen);
}

static char *ReadWholeFile(const char *path, size_t *len)
{
    FILE *f = fopen(path, "rb");
    if (!f)
        Fail("cannot open the config file", path);
    size_t cap = 4096, used = 0;
    char *data = malloc(cap + 1);
    size_t got;
    while (data && (got = fread(data + used, 1, cap - used, f)) > 0) {
        used += got;
        if (used == cap)
            data = realloc(data, (cap *= 2) + 1);
    }
    fclose(f);
    if (!data)
        Fail("out of memory", NULL);
    data[used] = 0;
    *len = used;
    return data;
}

/* Refuses what would make windows that cannot work as described. */
static void CheckConfig(void)
{
    for (int i = 0; i < g_cfg.controlCount; i++) {
        const Control *c = &g_cfg.controls[i];
        int isList = c->kind == KIND_LISTVIEW || c->kind == KIND_SUPERCLASSED
                  || c->kind == KIND_NESTED;
        if (!isList && (c->itemCount || c->virtualCount >= 0 || c->select.count
                        || c->hasClaim || c->refuse.count))
            Fail("item keys given to a control that is not a list", NULL);
        if (c->kind == KIND_LISTVIEW || c->kind == KIND_SUPERCLASSED) {
            int parentKind = c->parent >= 0 ? g_cfg.controls[c->parent].kind : KIND_STATIC;
            if (c->virtualCount >= 0 && parentKind != KIND_STATIC && parentKind != KIND_NESTED)
                Fail("a virtual list needs the top level, a static or a nested control as parent",
                     NULL);
        }
    }
}

static void ReadConfig(const char *path)
{
    g_cfg.title = MakeText("Stand-in", 8);
    g_cfg.removePath = MakeText("", 0);
    strcpy(g_cfg.cls, "StandInFiler");
    size_t len;
    char *data = ReadWholeFile(path, &len);
    size_t start = 0;
    while (start < len) {
        char *nl = memchr(data + start, '\n', len - start);
        size_t end = nl ? (size_t)(nl - data) : len;
        data[end] = 0;
        ParseLine(data + start, end - start);
        start = end + 1;
    }
    free(data);
    CheckConfig();
}

/* ---- answers of the list views and combo boxes --------------------------------------- */

static Control *ControlOf(HWND hwnd)
{
    return (Control *)GetPropA(hwnd, PROP_CONTROL);
}

static WNDPROC OldProcOf(HWND hwnd)
{
    return (WNDPROC)GetPropA(hwnd, PROP_OLDPROC);
}

/* Hands a message on to the procedure a subclassed window had; in the form the subclassing
   took it (see Subclass). */
static LRESULT CallOld(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return g_utf8 ? CallWindowProcW(OldProcOf(hwnd), hwnd, msg, wp, lp)
                  : CallWindowProcA(OldProcOf(hwnd), hwnd, msg, wp, lp);
}

/* Sleeps as a hung program would, but not past the time limit. */
static void Hang(void)
{
    DWORD left = g_deadline - GetTickCount();
    if ((LONG)left > 0)
        Sleep(left < HANG_MS ? left : HANG_MS);
}

/* The text of one item: "item<index>" in a virtual list, else the configured text. */
static const char *ItemText(const Control *c, int index, char *scratch, size_t scratchSize)
{
    if (c->virtualCount >= 0) {
        snprintf(scratch, scratchSize, "item%d", index);
        return scratch;
    }
    return index >= 0 && index < c->itemCount ? c->items[index].data : "";
}

static const WCHAR *ItemTextW(const Control *c, int index, WCHAR *scratch, size_t scratchSize)
{
    if (c->virtualCount >= 0) {
        _snwprintf(scratch, scratchSize, L"item%d", index);
        scratch[scratchSize - 1] = 0;
        return scratch;
    }
    return index >= 0 && index < c->itemCount ? c->items[index].wide : L"";
}

/* Fills all `size` bytes of out with text repeated, with no terminating zero. */
static void FillRepeated(char *out, size_t size, const char *text)
{
    size_t len = strlen(text);
    if (!len) {
        text = "x";
        len = 1;
    }
    for (size_t i = 0; i < size; i++)
        out[i] = text[i % len];
}

/* The same with `size` UTF-16 code units. */
static void FillRepeatedW(WCHAR *out, size_t size, const WCHAR *text)
{
    size_t len = wcslen(text);
    if (!len) {
        text = L"x";
        len = 1;
    }
    for (size_t i = 0; i < size; i++)
        out[i] = text[i % len];
}

static int RealItemCount(HWND list)
{
    return (int)CallOld(list, LVM_GETITEMCOUNT, 0, 0);
}

/* LVITEMA and LVITEMW differ only in the type of pszText; `wide` tells its characters. */
static int HasTextBuffer(const LVITEMA *item, int wide)
{
    return item->pszText && item->pszText != LPSTR_TEXTCALLBACKA && item->cchTextMax > 0
        && !IsBadWritePtr(item->pszText, (UINT_PTR)item->cchTextMax * (wide ? 2 : 1));
}

/* The record comes from another process through memory it allocated here; a bad address
   gets a refusal, not a crash of the stand-in. */
static int IsRecord(const LVITEMA *item)
{
    return item && !IsBadWritePtr((void *)item, sizeof *item);
}

static void FillItemText(const Control *c, int index, LVITEMA *item, int wide)
{
    if (wide) {
        WCHAR scratch[32];
        FillRepeatedW((WCHAR *)item->pszText, (size_t)item->cchTextMax,
                      ItemTextW(c, index, scratch, sizeof scratch / sizeof scratch[0]));
    } else {
        char scratch[32];
        FillRepeated(item->pszText, (size_t)item->cchTextMax,
                     ItemText(c, index, scratch, sizeof scratch));
    }
}

static LRESULT AnswerGetItemUnterminated(HWND list, Control *c, LVITEMA *item, int wide)
{
    if (item->iItem < 0 || item->iItem >= RealItemCount(list))
        return FALSE;
    if ((item->mask & LVIF_TEXT) && HasTextBuffer(item, wide))
        FillItemText(c, item->iItem, item, wide);
    if (item->mask & LVIF_STATE)
        item->state = (UINT)CallOld(list, LVM_GETITEMSTATE, (WPARAM)item->iItem,
                                    (LPARAM)item->stateMask);
    return TRUE;
}

static LRESULT AnswerGetItemTextUnterminated(HWND list, Control *c, int index, LVITEMA *item,
                                             int wide)
{
    if (index < 0 || index >= RealItemCount(list) || !HasTextBuffer(item, wide))
        return 0;
    FillItemText(c, index, item, wide);
    return item->cchTextMax;
}

static LRESULT CALLBACK ListSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    Control *c = ControlOf(hwnd);
    int getItem = msg == LVM_GETITEMA || msg == LVM_GETITEMW;
    int getText = msg == LVM_GETITEMTEXTA || msg == LVM_GETITEMTEXTW;
    int wide = msg == LVM_GETITEMW || msg == LVM_GETITEMTEXTW;
    if (msg >= LVM_FIRST && msg < LVM_FIRST + 0x100 && g_hangListArmed) {
        g_hangListArmed = 0;
        Hang();
    }
    if (getItem && g_exitArmed && g_cfg.exitOn == EXIT_LISTVIEW)
        ExitProcess(0);
    if (getItem && g_exitArmed && ++g_itemRequests == 2) {
        if (g_cfg.exitOn == EXIT_SECOND_ITEM)
            ExitProcess(0);
        if (g_cfg.hang == HANG_SECOND_ITEM)
            Hang();
    }
    if (msg == LVM_GETNEXTITEM && c->nonsense) {
        static const int answers[] = {7, 3, 2147483646, -5};
        int turn = c->nonsenseTurn++ % 5;
        return turn < 4 ? answers[turn] : (LRESULT)(int)wp;
    }
    if (getItem && g_exitArmed && g_cfg.removePath.len) {
        if (g_utf8)
            DeleteFileW(g_cfg.removePath.wide);
        else
            DeleteFileA(g_cfg.removePath.data);
        FreeText(&g_cfg.removePath);
        g_cfg.removePath = MakeText("", 0);
    }
    LVITEMA *item = (LVITEMA *)lp;
    /* Without refuse= or unterminated=1 every item message goes to the list view untouched. */
    int answersItems = c->refuse.count || c->unterminated;
    if (msg == LVM_GETITEMCOUNT && c->hasClaim)
        return c->claim;
    if (getItem && answersItems) {
        if (!IsRecord(item) || InList(&c->refuse, item->iItem))
            return FALSE;
        if (c->unterminated)
            return AnswerGetItemUnterminated(hwnd, c, item, wide);
    }
    if (getText && answersItems) {
        if (!IsRecord(item) || InList(&c->refuse, (int)wp))
            return 0;
        if (c->unterminated)
            return AnswerGetItemTextUnterminated(hwnd, c, (int)wp, item, wide);
    }
    return CallOld(hwnd, msg, wp, lp);
}

/* WM_GETTEXT reaches the procedure in the window's own form: the system converts a request
   of the other form on its way in and out. */
static LRESULT CALLBACK TextSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_GETTEXT && g_exitArmed && g_cfg.exitOn == EXIT_ADDRESS)
        ExitProcess(0);
    if (msg == WM_GETTEXT && ControlOf(hwnd)->unterminated) {
        if (!wp || !lp)
            return 0;
        if (g_utf8)
            FillRepeatedW((WCHAR *)lp, (size_t)wp, ControlOf(hwnd)->text.wide);
        else
            FillRepeated((char *)lp, (size_t)wp, ControlOf(hwnd)->text.data);
        return (LRESULT)wp;
    }
    return CallOld(hwnd, msg, wp, lp);
}

/* With encoding=utf-8 the windows stay Unicode windows: a procedure set through the A
   function would make the system convert their texts to the ANSI code page and back. */
static void Subclass(HWND hwnd, Control *c, WNDPROC proc)
{
    if (!hwnd)
        return;
    SetPropA(hwnd, PROP_CONTROL, (HANDLE)c);
    if (g_utf8) {
        SetPropA(hwnd, PROP_OLDPROC, (HANDLE)GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR)proc);
    } else {
        SetPropA(hwnd, PROP_OLDPROC, (HANDLE)GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)proc);
    }
}

/* ---- the container windows: top level, static, CabinetWClass, SHELLDLL_DefView -------- */

static Control *ControlOfList(HWND list)
{
    for (int i = 0; i < g_cfg.controlCount; i++)
        if (g_cfg.controls[i].list == list)
            return &g_cfg.controls[i];
    return NULL;
}

/* A virtual list asks its parent for each item's text. Both the ANSI and the Unicode form
   are answered, whichever the list view chooses to send. */
static LRESULT OnNotify(const NMHDR *hdr)
{
    Control *c = ControlOfList(hdr->hwndFrom);
    if (!c || c->virtualCount < 0)
        return 0;
    if (hdr->code == LVN_GETDISPINFOA) {
        LVITEMA *item = &((NMLVDISPINFOA *)hdr)->item;
        if ((item->mask & LVIF_TEXT) && item->pszText && item->cchTextMax > 0)
            snprintf(item->pszText, (size_t)item->cchTextMax, "item%d", item->iItem);
    } else if (hdr->code == LVN_GETDISPINFOW) {
        LVITEMW *item = &((NMLVDISPINFOW *)hdr)->item;
        if ((item->mask & LVIF_TEXT) && item->pszText && item->cchTextMax > 0) {
            /* _snwprintf leaves out the zero when the text fills the buffer. */
            _snwprintf(item->pszText, (size_t)item->cchTextMax, L"item%d", item->iItem);
            item->pszText[item->cchTextMax - 1] = 0;
        }
    }
    return 0;
}

static LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_NOTIFY:
        return OnNotify((const NMHDR *)lp);
    case WM_NOTIFYFORMAT:
        if (lp == NF_QUERY)
            return IsWindowUnicode(hwnd) ? NFR_UNICODE : NFR_ANSI;
        break;
    case WM_TIMER:
        if (hwnd == g_top && wp == LIMIT_TIMER)
            DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        if (hwnd == g_top)
            PostQuitMessage(0);
        return 0;
    }
    return IsWindowUnicode(hwnd) ? DefWindowProcW(hwnd, msg, wp, lp)
                                 : DefWindowProcA(hwnd, msg, wp, lp);
}

/* Registers a class served by ContainerProc; a class registered before is used as it is.
   With encoding=utf-8 the class is a Unicode one, so that its windows keep UTF-16 titles. */
static void RegisterContainerClass(const char *name)
{
    BOOL ok;
    if (g_utf8) {
        WCHAR wideName[256];
        WideName(wideName, 256, name);
        WNDCLASSEXW wc;
        memset(&wc, 0, sizeof wc);
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = ContainerProc;
        wc.hInstance = GetModuleHandleW(NULL);
        wc.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
        wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
        wc.lpszClassName = wideName;
        ok = RegisterClassExW(&wc) != 0;
    } else {
        WNDCLASSEXA wc;
        memset(&wc, 0, sizeof wc);
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = ContainerProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
        wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
        wc.lpszClassName = name;
        ok = RegisterClassExA(&wc) != 0;
    }
    if (!ok && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        Fail("cannot register the class", name);
}

static void RegisterSuperclass(const char *name)
{
    BOOL ok;
    if (g_utf8) {
        WCHAR wideName[256];
        WideName(wideName, 256, name);
        WNDCLASSEXW wc;
        memset(&wc, 0, sizeof wc);
        wc.cbSize = sizeof wc;
        if (!GetClassInfoExW(NULL, WC_LISTVIEWW, &wc))
            Fail("no list view class to superclass", NULL);
        wc.hInstance = GetModuleHandleW(NULL);
        wc.lpszClassName = wideName;
        wc.style &= ~CS_GLOBALCLASS;
        ok = RegisterClassExW(&wc) != 0;
    } else {
        WNDCLASSEXA wc;
        memset(&wc, 0, sizeof wc);
        wc.cbSize = sizeof wc;
        if (!GetClassInfoExA(NULL, WC_LISTVIEWA, &wc))
            Fail("no list view class to superclass", NULL);
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = name;
        wc.style &= ~CS_GLOBALCLASS;
        ok = RegisterClassExA(&wc) != 0;
    }
    if (!ok && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        Fail("cannot register the superclass", name);
}

/* ---- making the windows ---------------------------------------------------------------- */

static HWND ParentOf(const Control *c)
{
    return c->parent < 0 ? g_top : g_cfg.controls[c->parent].hwnd;
}

/* Children of the top level are stacked from top to bottom; a child of a control fills it. */
static RECT PlaceChild(const Control *c, int height)
{
    RECT r;
    if (c->parent < 0) {
        SetRect(&r, 8, g_topNextY, 8 + 760, g_topNextY + height);
        g_topNextY += height + 8;
    } else {
        GetClientRect(ParentOf(c), &r);
    }
    return r;
}

/* Makes a window with CreateWindowExA, or CreateWindowExW with encoding=utf-8; `text` may be
   NULL for none. */
static HWND MakeWindow(DWORD exStyle, const char *cls, const Text *text, DWORD style, int x,
                       int y, int w, int h, HWND parent, int id)
{
    HWND hwnd;
    if (g_utf8) {
        WCHAR wideCls[256];
        WideName(wideCls, 256, cls);
        hwnd = CreateWindowExW(exStyle, wideCls, text ? text->wide : L"", style, x, y, w, h,
                               parent, (HMENU)(INT_PTR)id, GetModuleHandleW(NULL), NULL);
    } else {
        hwnd = CreateWindowExA(exStyle, cls, text ? text->data : "", style, x, y, w, h, parent,
                               (HMENU)(INT_PTR)id, GetModuleHandleA(NULL), NULL);
    }
    if (!hwnd)
        Fail("cannot create a window of class", cls);
    return hwnd;
}

static HWND MakeChild(const char *cls, const Text *text, DWORD style, HWND parent, RECT r, int id)
{
    return MakeWindow(0, cls, text, WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | style, r.left,
                      r.top, r.right - r.left, r.bottom - r.top, parent, id);
}

static void SetText(HWND hwnd, const Text *text)
{
    if (g_utf8)
        SetWindowTextW(hwnd, text->wide);
    else
        SetWindowTextA(hwnd, text->data);
}

static void FillList(Control *c)
{
    HWND list = c->list;
    if (g_utf8) {
        LVCOLUMNW col;
        memset(&col, 0, sizeof col);
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.cx = 400;
        col.pszText = L"Name";
        SendMessageW(list, LVM_INSERTCOLUMNW, 0, (LPARAM)&col);
    } else {
        LVCOLUMNA col;
        memset(&col, 0, sizeof col);
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.cx = 400;
        col.pszText = "Name";
        SendMessageA(list, LVM_INSERTCOLUMNA, 0, (LPARAM)&col);
    }
    if (c->virtualCount >= 0) {
        SendMessageA(list, LVM_SETITEMCOUNT, (WPARAM)c->virtualCount, LVSICF_NOINVALIDATEALL);
    } else {
        for (int i = 0; i < c->itemCount; i++) {
            if (g_utf8) {
                LVITEMW item;
                memset(&item, 0, sizeof item);
                item.mask = LVIF_TEXT;
                item.iItem = i;
                item.pszText = c->items[i].wide;
                SendMessageW(list, LVM_INSERTITEMW, 0, (LPARAM)&item);
            } else {
                LVITEMA item;
                memset(&item, 0, sizeof item);
                item.mask = LVIF_TEXT;
                item.iItem = i;
                item.pszText = c->items[i].data;
                SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
            }
        }
    }
    for (int i = 0; i < c->select.count; i++) {
        LVITEMA state;
        memset(&state, 0, sizeof state);
        state.stateMask = LVIS_SELECTED;
        state.state = LVIS_SELECTED;
        SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)c->select.values[i], (LPARAM)&state);
    }
}

static HWND MakeList(Control *c, const char *cls, HWND parent, RECT r, DWORD visible, int id)
{
    DWORD style = WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | visible
                | (c->virtualCount >= 0 ? LVS_OWNERDATA : 0);
    c->list = MakeChild(cls, NULL, style, parent, r, id);
    FillList(c);
    return c->list;
}

static void MakeComboBoxEx(Control *c, RECT r, DWORD visible, int id)
{
    r.bottom = r.top + 200; /* the drop-down list's room */
    c->hwnd = MakeChild(WC_COMBOBOXEXA, NULL, CBS_DROPDOWN | visible, ParentOf(c), r, id);
    c->combo = (HWND)SendMessageA(c->hwnd, CBEM_GETCOMBOCONTROL, 0, 0);
    c->edit = (HWND)SendMessageA(c->hwnd, CBEM_GETEDITCONTROL, 0, 0);
    if (g_utf8) {
        COMBOBOXEXITEMW item;
        memset(&item, 0, sizeof item);
        item.mask = CBEIF_TEXT;
        item.iItem = -1;
        item.pszText = c->text.wide;
        SendMessageW(c->hwnd, CBEM_SETITEMW, 0, (LPARAM)&item);
    } else {
        COMBOBOXEXITEMA item;
        memset(&item, 0, sizeof item);
        item.mask = CBEIF_TEXT;
        item.iItem = -1;
        item.pszText = c->text.data;
        SendMessageA(c->hwnd, CBEM_SETITEMA, 0, (LPARAM)&item);
    }
    if (c->edit)
        SetText(c->edit, &c->text);
}

static void MakeNested(Control *c, RECT r, DWORD visible, int id)
{
    c->hwnd = MakeChild("CabinetWClass", NULL, visible, ParentOf(c), r, id);
    RECT inner;
    GetClientRect(c->hwnd, &inner);
    c->view = MakeChild("SHELLDLL_DefView", NULL, WS_VISIBLE, c->hwnd, inner, 1);
    MakeList(c, WC_LISTVIEWA, c->view, inner, WS_VISIBLE, 1);
}

static void MakeControl(Control *c, int index)
{
    static const int heights[] = {24, 24, 240, 240, 240, 80};
    RECT r = PlaceChild(c, heights[c->kind]);
    DWORD visible = c->visible ? WS_VISIBLE : 0;
    int id = 100 + index;
    switch (c->kind) {
    case KIND_COMBOBOX:
        r.bottom = r.top + 200;
        c->hwnd = MakeChild("ComboBox", NULL, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | visible,
                            ParentOf(c), r, id);
        SetText(c->hwnd, &c->text);
        break;
    case KIND_COMBOBOXEX:
        MakeComboBoxEx(c, r, visible, id);
        break;
    case KIND_LISTVIEW:
        c->hwnd = MakeList(c, WC_LISTVIEWA, ParentOf(c), r, visible, id);
        break;
    case KIND_SUPERCLASSED:
        RegisterSuperclass(c->cls);
        c->hwnd = MakeList(c, c->cls, ParentOf(c), r, visible, id);
        break;
    case KIND_NESTED:
        MakeNested(c, r, visible, id);
        break;
    case KIND_STATIC:
        RegisterContainerClass(c->cls);
        c->hwnd = MakeChild(c->cls, &c->text, WS_BORDER | visible, ParentOf(c), r, id);
        break;
    }
}

/* The test behaviours go in only now, so that filling the controls above is not affected. */
static void InstallAnswers(Control *c)
{
    if (c->list)
        Subclass(c->list, c, ListSubclassProc);
    int answersText = c->unterminated || g_cfg.exitOn == EXIT_ADDRESS;
    if (answersText && (c->kind == KIND_COMBOBOX || c->kind == KIND_COMBOBOXEX)) {
        Subclass(c->hwnd, c, TextSubclassProc);
        Subclass(c->combo, c, TextSubclassProc);
        Subclass(c->edit, c, TextSubclassProc);
    }
}

static void MakeTopLevel(void)
{
    RegisterContainerClass(g_cfg.cls);
    g_top = MakeWindow(0, g_cfg.cls, &g_cfg.title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 40, 40,
                       800, 640, NULL, 0);
}

/* Handles what is waiting, without blocking, so that the windows have painted. */
static void PumpPending(void)
{
    MSG msg;
    while (g_utf8 ? PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)
                  : PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        if (g_utf8)
            DispatchMessageW(&msg);
        else
            DispatchMessageA(&msg);
    }
}

static void ComeToFront(void)
{
    DWORD start = GetTickCount();
    do {
        SetForegroundWindow(g_top);
        PumpPending();
        if (GetForegroundWindow() == g_top)
            return;
        Sleep(20);
    } while (GetTickCount() - start < FRONT_WAIT_MS);
}

/* ---- the ready file -------------------------------------------------------------------- */

static unsigned long Hex(HWND hwnd)
{
    /* Window handles keep to 32 bits in 64-bit processes too, so that both bitnesses can
       exchange them. */
    return (unsigned long)(ULONG_PTR)hwnd;
}

static void WriteControlLine(FILE *out, int index, const Control *c)
{
    WCHAR wideCls[256] = L"";
    char cls[1024] = "";
    GetClassNameW(c->hwnd, wideCls, 256);
    WideCharToMultiByte(CP_UTF8, 0, wideCls, -1, cls, sizeof cls, NULL, NULL);
    fprintf(out, "control=%d hwnd=%lx class=%s", index, Hex(c->hwnd), cls);
    if (c->kind == KIND_COMBOBOXEX)
        fprintf(out, " combo=%lx edit=%lx", Hex(c->combo), Hex(c->edit));
    if (c->kind == KIND_NESTED)
        fprintf(out, " view=%lx", Hex(c->view));
    if (c->list)
        fprintf(out, " list=%lx items=%d selected=%d", Hex(c->list), RealItemCount(c->list),
                (int)CallOld(c->list, LVM_GETSELECTEDCOUNT, 0, 0));
    fputc('\n', out);
}

static void WriteReady(const char *path)
{
    char partial[MAX_PATH + 16];
    snprintf(partial, sizeof partial, "%s.part", path);
    FILE *out = fopen(partial, "wb");
    if (!out)
        Fail("cannot write the ready file", partial);
    fprintf(out, "hwnd=%lx\npid=%lu\nforeground=%lx\n", Hex(g_top),
            (unsigned long)GetCurrentProcessId(), Hex(GetForegroundWindow()));
    for (int i = 0; i < g_cfg.controlCount; i++)
        WriteControlLine(out, i, &g_cfg.controls[i]);
    fclose(out);
    if (!MoveFileExA(partial, path, MOVEFILE_REPLACE_EXISTING))
        Fail("cannot rename the ready file into place", path);
}

int main(int argc, char **argv)
{
    if (argc < 3 || argc > 4) {
        fprintf(stderr, "usage: stand_in_filer CONFIG-FILE READY-FILE [TIME-LIMIT-SECONDS]\n");
        return 2;
    }
    DWORD limitMs = argc == 4 ? (DWORD)(atof(argv[3]) * 1000.0) : 120000;
    g_deadline = GetTickCount() + limitMs;
    ReadConfig(argv[1]);

    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_USEREX_CLASSES
                                            | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    RegisterContainerClass("CabinetWClass");
    RegisterContainerClass("SHELLDLL_DefView");
    MakeTopLevel();
    for (int i = 0; i < g_cfg.controlCount; i++)
        MakeControl(&g_cfg.controls[i], i);
    if (!g_cfg.hidden) {
        ShowWindow(g_top, g_cfg.minimized ? SW_SHOWMINIMIZED : SW_SHOWNORMAL);
        UpdateWindow(g_top);
    }
    if (g_cfg.front)
        ComeToFront();
    for (int i = 0; i < g_cfg.controlCount; i++)
        InstallAnswers(&g_cfg.controls[i]);
    SetTimer(g_top, LIMIT_TIMER, limitMs, NULL);
    PumpPending();
    WriteReady(argv[2]);

    if (g_cfg.hang == HANG_READY)
        Hang();
    g_hangListArmed = g_cfg.hang == HANG_LISTVIEW;
    g_exitArmed = 1;
    MSG msg;
    while ((g_utf8 ? GetMessageW(&msg, NULL, 0, 0) : GetMessageA(&msg, NULL, 0, 0)) > 0) {
        TranslateMessage(&msg);
        if (g_utf8)
            DispatchMessageW(&msg);
        else
            DispatchMessageA(&msg);
    }
    return 0;
}
