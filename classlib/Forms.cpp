#include "classlib/Forms.h"

#include <atomic>

#include "platform/Platform.h"

namespace {
std::atomic<TApplicationGui*> GGui{nullptr};
}  // namespace

void SetApplicationGui(TApplicationGui* gui) { GGui.store(gui); }
TApplicationGui* ApplicationGui() { return GGui.load(); }

TApplication& TheApplication() {
    static TApplication application;
    return application;
}

const TClassInfo& TApplication::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TApplication>("TApplication", &TComponent::StaticClassInfo()).Build();
    return info;
}

TApplication::TApplication() : TComponent(nullptr) {}
TApplication::TApplication(TComponent* owner) : TComponent(owner) {}

// The forms go before the rest of the application object, while it is still
// whole for their destructors.
TApplication::~TApplication() {
    FMainForm = nullptr;
    DestroyComponents();
}

void TApplication::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component == FMainForm) FMainForm = nullptr;
}

void TApplication::Initialize() {
    if (FInitialized) return;
    FInitialized = true;
    if (TApplicationGui* gui = ApplicationGui()) gui->Initialize(*this);
}

void TApplication::SetTitle(const AnsiString& title) {
    FTitle = title;
    if (TApplicationGui* gui = ApplicationGui()) gui->TitleChanged(*this);
}

void TApplication::Run() {
    if (TApplicationGui* gui = ApplicationGui(); gui && !FTerminated) gui->Run(*this);
}

void TApplication::Terminate() {
    FTerminated = true;
    if (TApplicationGui* gui = ApplicationGui()) gui->Terminate(*this);
}

int TApplication::MessageBox(const char* text, const char* caption, int flags) {
    return MessageBox(AnsiString(text), AnsiString(caption), flags);
}

int TApplication::MessageBox(const AnsiString& text, const AnsiString& caption, int flags) {
    if (FBackend) return FBackend->Show(FHandle, text, caption, flags);
    if (TApplicationGui* gui = ApplicationGui()) {
        const int answer = gui->MessageBox(*this, text, caption, flags);
        if (answer != -1) return answer;
    }
    return MessageBoxBackend().Show(FHandle, text, caption, flags);
}

void TApplication::ShowException(const Exception& e) {
    MessageBox(e.Message(), FTitle, int(plat::MB_OK | plat::MB_ICONSTOP));
}

TMessageBoxBackend* TApplication::SetMessageBoxBackend(TMessageBoxBackend* backend) {
    TMessageBoxBackend* previous = FBackend;
    FBackend = backend;
    return previous;
}

TMessageBoxBackend& TApplication::MessageBoxBackend() const {
    if (FBackend) return *FBackend;
#if defined(_WIN32)
    return Win32MessageBoxes();
#else
    return ConsoleMessageBoxes();
#endif
}
