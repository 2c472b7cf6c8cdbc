// TCustomForm and TForm: a top-level window holding controls, with
// dialog-like keys (Tab moves the focus in tab order, Enter presses the
// focused or default button, Esc the cancel button). A form's layout comes
// from a text form file kept as an RCDATA resource named after its class in
// upper case (TMAINFORM for TMainForm), read by the class library's form
// reader.
#pragma once

#include <vector>

#include "classlib/Events.h"
#include "classlib/gui/Controls.h"
#include "classlib/gui/Graphics.h"

class TBitBtn;

// A form resource is missing from the executable.
class CLASSLIB_API EResNotFound : public Exception {
public:
    using Exception::Exception;
};

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

class CLASSLIB_API TCustomForm : public TWinControl {
public:
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

    // bsDialog: a fixed dialog frame with a close box, not resizable.
    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    // Keeps the client size.
    void SetBorderStyle(TFormBorderStyle style);
    // The size inside the frame; Width and Height are the outer size.
    int ClientWidth() const { return FClientWidth; }
    int ClientHeight() const { return FClientHeight; }
    void SetClientWidth(int width);
    void SetClientHeight(int height);
    // Left and Top are screen positions: the form opens where it was designed.
    void SetBounds(int left, int top, int width, int height) override;

    // The font of the form and of every control on it.
    TFont& Font() { return FFont; }
    const TFont& Font() const { return FFont; }

    // With Scaled, a form designed at PixelsPerInch is scaled to the screen's
    // resolution when it is loaded; without, its layout stays as designed.
    bool Scaled() const { return FScaled; }
    void SetScaled(bool scaled) { FScaled = scaled; }
    int PixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int pixelsPerInch) { FPixelsPerInch = pixelsPerInch; }
    // The font's text height at design time, kept with the form.
    int TextHeight() const { return FTextHeight; }
    void SetTextHeight(int height) { FTextHeight = height; }

    // Creates the window (and its controls' windows) when there is none,
    // shows it and gives the focus to the lowest tab order.
    void Show();
    void Hide();
    // Runs OnClose, then hides the form; closing the application's main form
    // ends the message loop.
    void Close();
    TNotifyEvent OnClose;

    // The focused control of the form, or null.
    TWinControl* ActiveControl() const;
    // The button Enter presses now: the focused button, else the default one.
    TBitBtn* EnterButton() const;
    // The button Esc presses, or null.
    TBitBtn* CancelButton() const;

    // The form of a window (HWND), or null when it is none of ours.
    static TCustomForm* FromHandle(void* window);

protected:
    // Reads the form's layout from its resource into this form. Called from
    // the constructor of the form class that has the resource, because only
    // there is the class complete enough to take its published fields and
    // handlers. Raises EResNotFound without the resource, EReadError for a
    // bad form text.
    void ReadFormResource();
    // Controls read from the form file get this form as parent.
    void Loaded() override;
    void CreateHandle(void* ownerWindow, int id) override;
    virtual std::intptr_t WindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

private:
    friend class TControl;
    friend class TBitBtn;
    friend struct TFormWindowClass;

    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    TControl* ControlOf(void* window) const;
    std::vector<TWinControl*> TabOrderList() const;
    void CreateControls();
    bool FocusFirst();
    bool RestoreFocus();
    void ButtonsChanged();
    void FontChanged();
    void ScaleBy(int multiplier, int divider);
    // Frame widths of the current border style: outer minus client size.
    void FrameSize(int& width, int& height) const;
    void ApplyClientSize();

    // Form-file access to the font.
    const AnsiString& FontName() const { return FFont.Name(); }
    void SetFontName(const AnsiString& name) { FFont.SetName(name); }
    int FontHeight() const { return FFont.Height(); }
    void SetFontHeight(int height) { FFont.SetHeight(height); }
    TFontCharset FontCharset() const { return FFont.Charset(); }
    void SetFontCharset(TFontCharset charset) { FFont.SetCharset(charset); }
    TColor FontColor() const { return FFont.Color(); }
    void SetFontColor(TColor color) { FFont.SetColor(color); }

    TFormBorderStyle FBorderStyle = bsSizeable;
    int FClientWidth = 320;
    int FClientHeight = 240;
    TFont FFont;
    bool FScaled = true;
    int FPixelsPerInch = 96;
    int FTextHeight = 13;
    std::vector<TControl*> FControls;
    int FNextControlId;
    // The control that had the focus when the form was last deactivated.
    void* FSavedFocus = nullptr;
};

class CLASSLIB_API TForm : public TCustomForm {
public:
    using TCustomForm::TCustomForm;

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};
