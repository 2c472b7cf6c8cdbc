#include <algorithm>
#include <mutex>

#include "ClassLibTexts.h"
#include "classlib/Classes.h"
#include "classlib/internal/TextFormat.h"

namespace {

struct TPalettePage {
    AnsiString Name;
    std::vector<const TClassInfo*> Classes;
};

// Registration may run from static initialisers of other units, hence
// function-local statics.
struct TRegistry {
    std::mutex Lock;
    std::vector<const TClassInfo*> Classes;
    std::vector<TPalettePage> Pages;
};

TRegistry& Registry() {
    static TRegistry registry;
    return registry;
}

const TClassInfo* FindRegistered(const TRegistry& r, std::string_view name) {
    for (const TClassInfo* c : r.Classes)
        if (SameIdentifier(c->ClassName().view(), name)) return c;
    return nullptr;
}

void RegisterLocked(TRegistry& r, const TClassInfo& componentClass) {
    const TClassInfo* known = FindRegistered(r, componentClass.ClassName().view());
    if (known == &componentClass) return;
    if (known) throw EComponentError(FormatText(ClassLibText::DuplicateClass, {componentClass.ClassName()}));
    r.Classes.push_back(&componentClass);
}

}  // namespace

void RegisterClass(const TClassInfo& componentClass) {
    TRegistry& r = Registry();
    std::lock_guard guard(r.Lock);
    RegisterLocked(r, componentClass);
}

const TClassInfo* GetClass(std::string_view className) {
    TRegistry& r = Registry();
    std::lock_guard guard(r.Lock);
    return FindRegistered(r, className);
}

const TClassInfo& FindClass(std::string_view className) {
    if (const TClassInfo* c = GetClass(className)) return *c;
    throw EClassNotFound(FormatText(ClassLibText::ClassNotFound, {AnsiString(className)}));
}

void RegisterComponents(const AnsiString& page, std::span<const TComponentClass> classes) {
    TRegistry& r = Registry();
    std::lock_guard guard(r.Lock);
    // Check everything first so that a bad entry registers nothing.
    for (std::size_t i = 0; i < classes.size(); ++i) {
        TComponentClass c = classes[i];
        if (!c) throw EComponentError(ClassLibText::NullClass);
        const TClassInfo* known = FindRegistered(r, c->ClassName().view());
        for (std::size_t j = 0; j < i && !known; ++j)
            if (SameIdentifier(classes[j]->ClassName().view(), c->ClassName().view())) known = classes[j];
        if (known && known != c) throw EComponentError(FormatText(ClassLibText::DuplicateClass, {c->ClassName()}));
    }
    auto at = std::find_if(r.Pages.begin(), r.Pages.end(), [&](const TPalettePage& p) { return p.Name == page; });
    if (at == r.Pages.end()) at = r.Pages.insert(r.Pages.end(), TPalettePage{page, {}});
    for (TComponentClass c : classes) {
        RegisterLocked(r, *c);
        if (std::find(at->Classes.begin(), at->Classes.end(), c) == at->Classes.end()) at->Classes.push_back(c);
    }
}

std::vector<AnsiString> PalettePages() {
    TRegistry& r = Registry();
    std::lock_guard guard(r.Lock);
    std::vector<AnsiString> pages;
    for (const TPalettePage& p : r.Pages) pages.push_back(p.Name);
    return pages;
}

std::vector<AnsiString> PaletteClassNames(const AnsiString& page) {
    TRegistry& r = Registry();
    std::lock_guard guard(r.Lock);
    std::vector<AnsiString> names;
    for (const TPalettePage& p : r.Pages)
        if (p.Name == page)
            for (const TClassInfo* c : p.Classes) names.push_back(c->ClassName());
    return names;
}
