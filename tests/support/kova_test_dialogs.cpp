/* Driving this thread's dialogs from inside their modal loop, and reading
   dialog templates (kova_test.h). */
#include "kova_test.h"

#include <ctype.h>
#include <memory>
#include <string.h>

bool OwnThread(HWND window)
{
    return window && GetWindowThreadProcessId(window, NULL) == GetCurrentThreadId();
}

static DialogDriver *ActiveDriver;

DialogDriver::DialogDriver(const char *caption, std::vector<Step> steps)
    : caption_(caption), steps_(std::move(steps))
{
    ActiveDriver = this;
    start_ = GetTickCount();
    timer_ = SetTimer(NULL, 0, 20, Tick);
}

DialogDriver::~DialogDriver()
{
    KillTimer(NULL, timer_);
    ActiveDriver = NULL;
}

static BOOL CALLBACK CancelDialog(HWND window, LPARAM)
{
    char cls[16];
    GetClassNameA(window, cls, sizeof cls);
    if (!strcmp(cls, "#32770"))
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

void CALLBACK DialogDriver::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    DialogDriver *self = ActiveDriver;
    if (!self)
        return;
    if (GetTickCount() - self->start_ > 15000) {
        self->aborted_ = true;
        EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0);
        return;
    }
    /* The modal loop shows the dialog when its queue first runs dry; steps
       act on the dialog as the user sees it. */
    HWND dialog = FindWindowA("#32770", self->caption_.c_str());
    if (!OwnThread(dialog) || !IsWindowVisible(dialog) || self->next_ >= self->steps_.size())
        return;
    if (self->steps_[self->next_](dialog))
        self->next_++;
}

DialogDriver::Step Check(std::function<void(HWND)> check)
{
    return [check](HWND dialog) {
        check(dialog);
        return true;
    };
}

DialogDriver::Step Press(int id)
{
    return [id](HWND dialog) {
        PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
        return true;
    };
}

DialogDriver::Step Key(UINT vk, int id)
{
    /* Keys go where the user's would: to the window with the focus, through
       the dialog's own message loop. */
    return [vk, id](HWND dialog) {
        HWND focus = GetFocus();
        HWND target = id ? GetDlgItem(dialog, id) : focus && IsChild(dialog, focus) ? focus : dialog;
        PostMessageA(target, WM_KEYDOWN, vk, 1);
        PostMessageA(target, WM_KEYUP, vk, 0xC0000001);
        return true;
    };
}

DialogDriver::Step Choose(int id, int position)
{
    return [id, position](HWND dialog) {
        HWND list = GetDlgItem(dialog, id);
        int count = static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0));
        SendMessageA(list, CB_SETCURSEL, position < 0 ? count + position : position, 0);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        return true;
    };
}

DialogDriver::Step Wait(DWORD ms)
{
    std::shared_ptr<DWORD> start = std::make_shared<DWORD>(0);
    return [ms, start](HWND) {
        if (!*start)
            *start = GetTickCount() | 1;
        return GetTickCount() - *start >= ms;
    };
}

DialogDriver::Step Shows(int id, const std::string &text)
{
    return [id, text](HWND dialog) { return WindowText(GetDlgItem(dialog, id)) == text; };
}

DialogDriver::Step Gone(const char *caption)
{
    std::string want = caption;
    return [want](HWND) { return !OwnThread(FindWindowA("#32770", want.c_str())); };
}

DialogDriver::Step AnswerBox(const char *caption, SeenBox *box, int button)
{
    std::string want = caption;
    return [want, box, button](HWND) {
        HWND found = FindWindowA("#32770", want.c_str());
        if (!OwnThread(found))
            return false;
        box->seen = true;
        box->owner = GetWindow(found, GW_OWNER);
        char text[2048] = "";
        GetDlgItemTextA(found, 0xFFFF, text, sizeof text);
        box->text = text;
        PostMessageA(found, WM_COMMAND, static_cast<WPARAM>(button), 0);
        return true;
    };
}

SeenBox AnswerDuring(const char *caption, int button, const std::function<void()> &call)
{
    SeenBox box;
    DialogDriver driver(caption, { AnswerBox(caption, &box, button) });
    call();
    return box;
}

std::string WindowText(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length))
        return "<no answer>";
    /* Room to spare: the text may grow between the two messages. */
    std::wstring text(length + 4096, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                        SMTO_NORMAL, 5000, &got);
    text.resize(got);
    return Narrow(text);
}

static Lines Items(HWND dialog, int id, UINT countMsg, UINT lenMsg, UINT textMsg)
{
    Lines items;
    LRESULT count = SendDlgItemMessageW(dialog, id, countMsg, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        LRESULT length = SendDlgItemMessageW(dialog, id, lenMsg, i, 0);
        std::wstring text(static_cast<size_t>(length < 0 ? 0 : length) + 1, L'\0');
        /* Across processes only the W message carries the whole text. */
        LRESULT got = SendDlgItemMessageW(dialog, id, textMsg, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(got < 0 ? 0 : static_cast<size_t>(got));
        items.push_back(Narrow(text));
    }
    return items;
}

Lines ComboItems(HWND dialog, int id)
{
    return Items(dialog, id, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

Lines ListItems(HWND dialog, int id)
{
    return Items(dialog, id, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
}

/* ---- dialog templates ---- */

DialogTemplate ReadDialogTemplate(HMODULE module, int id, LANGID language)
{
    DialogTemplate t;
    HRSRC res = language ? FindResourceExA(module, reinterpret_cast<LPCSTR>(RT_DIALOG),
                                           MAKEINTRESOURCEA(id), language)
                         : FindResourceA(module, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_DIALOG));
    const WORD *p = res ? static_cast<const WORD *>(LockResource(LoadResource(module, res))) : NULL;
    if (!p || (p[0] == 1 && p[1] == 0xFFFF)) /* none, or an extended template */
        return t;
    auto dword = [&]() { DWORD v = p[0] | (static_cast<DWORD>(p[1]) << 16); p += 2; return v; };
    auto text = [&]() {
        std::string s;
        while (*p)
            s += static_cast<char>(*p++);
        p++;
        return s;
    };
    auto textOrOrdinal = [&](std::string *s, int *ordinal) {
        *ordinal = -1;
        if (*p == 0xFFFF) {
            *ordinal = p[1];
            p += 2;
        } else {
            *s = text();
        }
    };
    t.found = true;
    t.style = dword();
    dword(); /* extended style */
    WORD count = *p++;
    t.x = static_cast<short>(*p++);
    t.y = static_cast<short>(*p++);
    t.cx = static_cast<short>(*p++);
    t.cy = static_cast<short>(*p++);
    std::string ignored;
    int ordinal;
    textOrOrdinal(&ignored, &ordinal); /* menu */
    textOrOrdinal(&ignored, &ordinal); /* class */
    t.caption = text();
    if (t.style & DS_SETFONT) {
        t.pointSize = *p++;
        t.font = text();
    }
    /* Classes by ordinal or by name, in capitals either way. */
    static const char *const kClasses[] = { "BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR",
                                            "COMBOBOX" };
    for (WORD i = 0; i < count; i++) {
        p = reinterpret_cast<const WORD *>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t(3));
        TemplateItem item;
        item.style = dword();
        dword();
        item.x = static_cast<short>(*p++);
        item.y = static_cast<short>(*p++);
        item.cx = static_cast<short>(*p++);
        item.cy = static_cast<short>(*p++);
        item.id = static_cast<short>(*p++);
        int classOrdinal;
        textOrOrdinal(&item.cls, &classOrdinal);
        if (classOrdinal >= 0x80 && classOrdinal <= 0x85)
            item.cls = kClasses[classOrdinal - 0x80];
        for (char &c : item.cls)
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        textOrOrdinal(&item.text, &item.textResource);
        WORD extra = *p++;
        p = reinterpret_cast<const WORD *>(reinterpret_cast<const BYTE *>(p) + extra);
        t.items.push_back(item);
    }
    return t;
}

void ExpectControls(const DialogTemplate &t, const std::vector<ControlRow> &rows)
{
    ASSERT_EQ(rows.size(), t.items.size());
    for (size_t i = 0; i < rows.size(); i++) {
        const ControlRow &want = rows[i];
        const TemplateItem &got = t.items[i];
        SCOPED_TRACE(testing::Message() << "control " << i << " \"" << want.text << "\"");
        EXPECT_EQ(want.id, got.id);
        EXPECT_EQ(want.cls, got.cls);
        EXPECT_EQ(want.text, got.text);
        EXPECT_EQ(want.x, got.x);
        EXPECT_EQ(want.y, got.y);
        EXPECT_EQ(want.cx, got.cx);
        EXPECT_EQ(want.cy, got.cy);
        EXPECT_EQ(want.style, got.style & want.styleMask);
    }
}

namespace {

/* A device context with the window's font selected, released when done. */
struct FontDc {
    HDC dc = CreateCompatibleDC(NULL);
    HGDIOBJ old;
    explicit FontDc(HWND window)
    {
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
        old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    }
    ~FontDc()
    {
        SelectObject(dc, old);
        DeleteDC(dc);
    }
};

/* The pixels of one character drawn alone, black on white. */
std::vector<uint8_t> CharacterPixels(HDC dc, wchar_t c)
{
    const int side = 64;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = side;
    info.bmiHeader.biHeight = -side;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = NULL;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = { 0, 0, side, side };
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, 2, 2, &c, 1);
    GdiFlush();
    const uint8_t *p = static_cast<const uint8_t *>(bits);
    std::vector<uint8_t> pixels(p, p + side * side * 4);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    return pixels;
}

} // namespace

std::string DrawnFace(HWND window)
{
    FontDc fdc(window);
    UINT size = GetOutlineTextMetricsW(fdc.dc, 0, NULL);
    if (!size)
        return "<not an outline font>";
    std::vector<uint8_t> buffer(size);
    OUTLINETEXTMETRICW *metrics = reinterpret_cast<OUTLINETEXTMETRICW *>(buffer.data());
    GetOutlineTextMetricsW(fdc.dc, size, metrics);
    return Narrow(reinterpret_cast<const wchar_t *>(
        buffer.data() + reinterpret_cast<uintptr_t>(metrics->otmpFamilyName)));
}

bool DrawnAsGlyphs(HWND window, const std::wstring &text)
{
    FontDc fdc(window);
    /* A noncharacter: no font has it, so it is drawn as the missing box. */
    std::vector<uint8_t> missing = CharacterPixels(fdc.dc, 0xFFFF);
    for (wchar_t c : text)
        if (CharacterPixels(fdc.dc, c) == missing)
            return false;
    return true;
}
