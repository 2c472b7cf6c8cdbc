#include "classlib/gui/CustomForm.h"

#include <algorithm>
#include <climits>
#include <exception>

#include "GuiTexts.h"
#include "classlib/Forms.h"
#include "classlib/internal/TextFormat.h"
#include "classlib/gui/Buttons.h"
#include "classlib/gui/GuiClasses.h"
#include "classlib/gui/Win32.h"
#include "classlib/WideText.h"

namespace {

constexpr wchar_t kFormClassName[] = L"KavrentaForm";
// Control identifiers start above IDOK and IDCANCEL, so that the dialog
// manager's Enter and Esc without a control of those identifiers reach the
// form as such.
constexpr int kFirstControlId = 100;

HWND Window(void* handle) { return static_cast<HWND>(handle); }

void StyleOf(TFormBorderStyle border, DWORD& style, DWORD& exStyle) {
    style = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    exStyle = WS_EX_CONTROLPARENT;
    switch (border) {
        case bsNone:
            break;
        case bsSingle:
            style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
            break;
        case bsSizeable:
            style |= WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
            break;
        case bsDialog:
            style |= WS_CAPTION | WS_SYSMENU;
            exStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
            break;
        case bsToolWindow:
            style |= WS_CAPTION | WS_SYSMENU;
            exStyle |= WS_EX_TOOLWINDOW;
            break;
        case bsSizeToolWin:
            style |= WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
            exStyle |= WS_EX_TOOLWINDOW;
            break;
    }
}

}  // namespace

// The window class of forms and its procedure, which hands each message to
// the form object. An exception of a handler is shown and the loop goes on:
// it must not unwind through the system's code.
struct TFormWindowClass {
    static ATOM Atom() {
        static const ATOM atom = [] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.style = CS_DBLCLKS;
            wc.lpfnWndProc = Procedure;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
            wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            wc.lpszClassName = kFormClassName;
            return RegisterClassExW(&wc);
        }();
        return atom;
    }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* form = static_cast<TCustomForm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
            form->FHandle = window;
        }
        auto* form = reinterpret_cast<TCustomForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (!form) return DefWindowProcW(window, message, wParam, lParam);
        try {
            return form->WindowProc(message, wParam, lParam);
        } catch (const Exception& e) {
            Application->ShowException(e);
        } catch (const std::exception&) {
            Application->ShowException(Exception(GuiText::UnknownError));
        }
        return 0;
    }
};

const TClassInfo& TCustomForm::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TCustomForm>("TCustomForm", &TWinControl::StaticClassInfo())
            .Property("Caption", &TCustomForm::Caption, &TCustomForm::SetCaption)
            .Enum("BorderStyle", &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle,
                  {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"}, bsSizeable)
            .Property("ClientWidth", &TCustomForm::ClientWidth, &TCustomForm::SetClientWidth)
            .Property("ClientHeight", &TCustomForm::ClientHeight, &TCustomForm::SetClientHeight)
            .Enum("Font.Charset", &TCustomForm::FontCharset, &TCustomForm::SetFontCharset,
                  {"ANSI_CHARSET", "DEFAULT_CHARSET", "SYMBOL_CHARSET", "SHIFTJIS_CHARSET", "HANGEUL_CHARSET",
                   "GB2312_CHARSET", "CHINESEBIG5_CHARSET", "OEM_CHARSET"})
            .Enum("Font.Color", &TCustomForm::FontColor, &TCustomForm::SetFontColor,
                  {"clBlack", "clMaroon", "clGreen", "clOlive", "clNavy", "clPurple", "clTeal", "clGray",
                   "clSilver", "clRed", "clLime", "clYellow", "clBlue", "clFuchsia", "clAqua", "clWhite",
                   "clWindowText", "clWindow", "clBtnFace", "clBtnText", "clGrayText", "clHighlight",
                   "clHighlightText"})
            .Property("Font.Height", &TCustomForm::FontHeight, &TCustomForm::SetFontHeight)
            .Property("Font.Name", &TCustomForm::FontName, &TCustomForm::SetFontName)
            .Property("Scaled", &TCustomForm::Scaled, &TCustomForm::SetScaled, true)
            .Property("PixelsPerInch", &TCustomForm::PixelsPerInch, &TCustomForm::SetPixelsPerInch)
            .Property("TextHeight", &TCustomForm::TextHeight, &TCustomForm::SetTextHeight)
            .Property("OnClose", &TCustomForm::OnClose, &TCustomForm::OnClose)
            .Build();
    static_assert(fcLast == 7 && clLastColor == 22, "the name lists above follow the enumerations");
    return info;
}

const TClassInfo& TForm::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TForm>("TForm", &TCustomForm::StaticClassInfo()).Build();
    return info;
}

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner), FNextControlId(kFirstControlId) {
    FFont.OnChange = [this] { FontChanged(); };
    ApplyClientSize();
}

TCustomForm::~TCustomForm() {
    // The window forgets the object first: destroying the controls' windows
    // sends the form messages (focus changes) that must not reach it now.
    if (FHandle) SetWindowLongPtrW(Window(FHandle), GWLP_USERDATA, 0);
    for (TControl* c : FControls) {
        c->DestroyHandle();
        c->FParent = nullptr;
    }
    FControls.clear();
    DestroyHandle();
    FFont.OnChange = nullptr;
}

void TCustomForm::ReadFormResource() {
    RegisterGuiClasses();
    const AnsiString name = AnsiUpperCase(ClassName());
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, WideFromCp932(name).c_str(), reinterpret_cast<LPCWSTR>(RT_RCDATA));
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) throw EResNotFound(FormatText(GuiText::FormResourceNotFound, {name}));
    const DWORD size = SizeofResource(module, resource);
    TextToComponent(AnsiString(static_cast<const char*>(bytes), static_cast<int>(size)), this);
}

void TCustomForm::Loaded() {
    TWinControl::Loaded();
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* control = dynamic_cast<TControl*>(Components(i)); control && !control->Parent())
            control->SetParent(this);
    if (FScaled) {
        const int screen = ScreenPixelsPerInch();
        if (screen > 0 && FPixelsPerInch > 0 && screen != FPixelsPerInch) {
            ScaleBy(screen, FPixelsPerInch);
            FPixelsPerInch = screen;
        }
    }
}

void TCustomForm::ScaleBy(int multiplier, int divider) {
    auto scale = [&](int value) { return MulDiv(value, multiplier, divider); };
    for (TControl* c : FControls) c->SetBounds(scale(c->Left()), scale(c->Top()), scale(c->Width()), scale(c->Height()));
    FClientWidth = scale(FClientWidth);
    FClientHeight = scale(FClientHeight);
    ApplyClientSize();
    FFont.SetHeight(scale(FFont.Height()));
}

void TCustomForm::FrameSize(int& width, int& height) const {
    DWORD style = 0;
    DWORD exStyle = 0;
    StyleOf(FBorderStyle, style, exStyle);
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    width = frame.right - frame.left;
    height = frame.bottom - frame.top;
}

// Outer size from the client size; with a window, the client area it really
// has decides, so the form's inside is exactly as designed.
void TCustomForm::ApplyClientSize() {
    int frameWidth = 0;
    int frameHeight = 0;
    FrameSize(frameWidth, frameHeight);
    FWidth = FClientWidth + frameWidth;
    FHeight = FClientHeight + frameHeight;
    if (!FHandle) return;
    RECT outer{};
    RECT client{};
    GetWindowRect(Window(FHandle), &outer);
    GetClientRect(Window(FHandle), &client);
    FWidth = FClientWidth + (outer.right - outer.left) - client.right;
    FHeight = FClientHeight + (outer.bottom - outer.top) - client.bottom;
    SetWindowPos(Window(FHandle), nullptr, 0, 0, FWidth, FHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCustomForm::SetClientWidth(int width) {
    FClientWidth = width;
    ApplyClientSize();
}

void TCustomForm::SetClientHeight(int height) {
    FClientHeight = height;
    ApplyClientSize();
}

void TCustomForm::SetBounds(int left, int top, int width, int height) {
    int frameWidth = 0;
    int frameHeight = 0;
    FrameSize(frameWidth, frameHeight);
    TWinControl::SetBounds(left, top, width, height);
    FClientWidth = width - frameWidth;
    FClientHeight = height - frameHeight;
}

void TCustomForm::SetBorderStyle(TFormBorderStyle style) {
    FBorderStyle = style;
    if (FHandle) {
        DWORD windowStyle = 0;
        DWORD exStyle = 0;
        StyleOf(style, windowStyle, exStyle);
        const bool visible = IsWindowVisible(Window(FHandle));
        SetWindowLongPtrW(Window(FHandle), GWL_STYLE, LONG_PTR(windowStyle | (visible ? WS_VISIBLE : 0)));
        SetWindowLongPtrW(Window(FHandle), GWL_EXSTYLE, LONG_PTR(exStyle));
        SetWindowPos(Window(FHandle), nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    ApplyClientSize();
}

void TCustomForm::CreateHandle(void* ownerWindow, int) {
    DWORD style = 0;
    DWORD exStyle = 0;
    StyleOf(FBorderStyle, style, exStyle);
    ApplyClientSize();
    HWND window = CreateWindowExW(exStyle, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(TFormWindowClass::Atom())),
                                  WideFromCp932(FCaption).c_str(), style, FLeft, FTop, FWidth, FHeight,
                                  Window(ownerWindow), nullptr, GetModuleHandleW(nullptr), this);
    if (!window) {
        FHandle = nullptr;
        throw Exception(FormatText(GuiText::WindowNotCreated, {ClassName()}));
    }
    FHandle = window;
    ApplyClientSize();
    CreateControls();
}

// Labels first, then the controls that take the focus in tab order: the
// dialog manager's Tab follows the order of the windows.
void TCustomForm::CreateControls() {
    auto create = [&](TControl* c) {
        if (c->HandleAllocated()) return;
        c->CreateHandle(FHandle, FNextControlId++);
        if (!c->HandleAllocated()) throw Exception(FormatText(GuiText::WindowNotCreated, {c->ClassName()}));
        SendMessageW(Window(c->Handle()), WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle()), FALSE);
        c->ParentFontChanged();
    };
    for (TControl* c : FControls)
        if (!dynamic_cast<TWinControl*>(c)) create(c);
    for (TWinControl* c : TabOrderList()) create(c);
}

std::vector<TWinControl*> TCustomForm::TabOrderList() const {
    std::vector<TWinControl*> list;
    for (TControl* c : FControls)
        if (auto* w = dynamic_cast<TWinControl*>(c)) list.push_back(w);
    // Controls without a tab order come last, in the order they were added.
    auto key = [](const TWinControl* w) { return w->TabOrder() < 0 ? INT_MAX : w->TabOrder(); };
    std::stable_sort(list.begin(), list.end(), [&](auto* a, auto* b) { return key(a) < key(b); });
    return list;
}

void TCustomForm::InsertControl(TControl* control) {
    if (std::find(FControls.begin(), FControls.end(), control) != FControls.end()) return;
    FControls.push_back(control);
    if (FHandle) CreateControls();
}

void TCustomForm::RemoveControl(TControl* control) {
    FControls.erase(std::remove(FControls.begin(), FControls.end(), control), FControls.end());
    if (control->Handle() && control->Handle() == FSavedFocus) FSavedFocus = nullptr;
}

TControl* TCustomForm::ControlOf(void* window) const {
    if (!window) return nullptr;
    for (TControl* c : FControls)
        if (c->Handle() == window) return c;
    return nullptr;
}

TWinControl* TCustomForm::ActiveControl() const { return dynamic_cast<TWinControl*>(ControlOf(GetFocus())); }

TBitBtn* TCustomForm::EnterButton() const {
    if (auto* focused = dynamic_cast<TBitBtn*>(ActiveControl())) return focused;
    for (TControl* c : FControls)
        if (auto* b = dynamic_cast<TBitBtn*>(c); b && b->Default() && b->Enabled() && b->Visible()) return b;
    return nullptr;
}

TBitBtn* TCustomForm::CancelButton() const {
    for (TControl* c : FControls)
        if (auto* b = dynamic_cast<TBitBtn*>(c); b && b->Cancel() && b->Enabled() && b->Visible()) return b;
    return nullptr;
}

TCustomForm* TCustomForm::FromHandle(void* window) {
    if (!window || GetClassLongPtrW(Window(window), GCW_ATOM) != TFormWindowClass::Atom()) return nullptr;
    return reinterpret_cast<TCustomForm*>(GetWindowLongPtrW(Window(window), GWLP_USERDATA));
}

bool TCustomForm::FocusFirst() {
    for (TWinControl* w : TabOrderList()) {
        if (w->TabStop() && w->CanFocus()) {
            w->SetFocus();
            return true;
        }
    }
    return false;
}

// Back from a message box or another window, the focus returns where it was.
bool TCustomForm::RestoreFocus() {
    if (ControlOf(FSavedFocus) && IsWindowEnabled(Window(FSavedFocus)) && IsWindowVisible(Window(FSavedFocus))) {
        ::SetFocus(Window(FSavedFocus));
        return true;
    }
    return FocusFirst();
}

void TCustomForm::Show() {
    if (!FHandle) CreateHandle(TheApplication().Handle(), 0);
    FVisible = true;
    ShowWindow(Window(FHandle), SW_SHOW);
    UpdateWindow(Window(FHandle));
    SetForegroundWindow(Window(FHandle));
    if (!ActiveControl()) FocusFirst();
}

void TCustomForm::Hide() {
    FVisible = false;
    if (FHandle) ShowWindow(Window(FHandle), SW_HIDE);
}

void TCustomForm::Close() {
    OnClose(this);
    Hide();
    if (TheApplication().MainForm() == this) TheApplication().Terminate();
}

void TCustomForm::ButtonsChanged() {
    for (TControl* c : FControls)
        if (dynamic_cast<TBitBtn*>(c) && c->Handle()) InvalidateRect(Window(c->Handle()), nullptr, TRUE);
}

void TCustomForm::FontChanged() {
    if (!FHandle) return;
    for (TControl* c : FControls) {
        if (!c->Handle()) continue;
        SendMessageW(Window(c->Handle()), WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle()), TRUE);
        c->ParentFontChanged();
    }
}

std::intptr_t TCustomForm::WindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    HWND window = Window(FHandle);
    std::intptr_t result = 0;
    switch (message) {
        case WM_COMMAND:
            if (lParam) {
                if (TControl* c = ControlOf(reinterpret_cast<void*>(lParam)); c && c->ParentMessage(message, wParam, lParam, result))
                    return result;
                break;
            }
            // The dialog manager's Enter and Esc when no control has IDOK or IDCANCEL.
            if (LOWORD(wParam) == IDOK) {
                if (TBitBtn* b = EnterButton()) b->Click();
                return 0;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                if (TBitBtn* b = CancelButton()) b->Click();
                return 0;
            }
            break;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (TControl* c = ControlOf(item->hwndItem); c && c->ParentMessage(message, wParam, lParam, result))
                return result;
            break;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            if (TControl* c = ControlOf(reinterpret_cast<void*>(lParam)); c && c->ParentMessage(message, wParam, lParam, result))
                return result;
            break;
        case DM_GETDEFID:
            // Enter, as the dialog manager asks for it.
            if (TBitBtn* b = EnterButton(); b && b->Handle())
                return MAKELRESULT(GetDlgCtrlID(Window(b->Handle())), DC_HASDEFID);
            return 0;
        case WM_CLOSE:
            Close();
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                if (HWND focus = GetFocus(); ControlOf(focus)) FSavedFocus = focus;
                return 0;
            }
            // Without a control to take it, the form itself takes the focus.
            if (RestoreFocus()) return 0;
            break;
        case WM_SETFOCUS:
            RestoreFocus();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
