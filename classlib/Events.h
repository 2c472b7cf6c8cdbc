// TNotifyEvent: an event handler taking the sender. It is bound either to a
// method of an object (the form that handles the event) or to any callable;
// an empty one is unassigned and calling it does nothing.
#pragma once

#include <cstddef>
#include <memory>
#include <type_traits>
#include <utility>

#include "classlib/SysUtils.h"

class TNotifyEvent {
public:
    TNotifyEvent() = default;
    TNotifyEvent(std::nullptr_t) {}  // NOLINT: "= nullptr" unassigns, as in the class library

    // A method of an object, e.g. TNotifyEvent(this, &TMainForm::BitBtn1Click).
    // Two events bound to the same method of the same object compare equal,
    // which is how a form file finds a handler's name.
    template <class C, class M>
        requires std::is_base_of_v<M, C>
    TNotifyEvent(C* object, void (M::*method)(TObject*))
        : FBinding(object && method ? std::make_shared<TMethodBinding<M>>(static_cast<M*>(object), method)
                                    : nullptr) {}

    // Any callable taking the sender, e.g. a lambda.
    template <class F>
        requires(std::is_invocable_v<F&, TObject*> && !std::is_same_v<std::decay_t<F>, TNotifyEvent> &&
                 !std::is_same_v<std::decay_t<F>, std::nullptr_t>)
    TNotifyEvent(F handler)  // NOLINT: assignable from a lambda
        : FBinding(std::make_shared<TCallableBinding<F>>(std::move(handler))) {}

    explicit operator bool() const { return FBinding != nullptr; }
    void operator()(TObject* sender) const {
        if (FBinding) FBinding->Invoke(sender);
    }

    // Same method of the same object, or copies of one callable; unassigned
    // events are equal to each other.
    friend bool operator==(const TNotifyEvent& a, const TNotifyEvent& b) {
        if (!a.FBinding || !b.FBinding) return a.FBinding == b.FBinding;
        return a.FBinding == b.FBinding || a.FBinding->SameAs(*b.FBinding);
    }

private:
    struct TBinding {
        virtual ~TBinding() = default;
        virtual void Invoke(TObject* sender) const = 0;
        virtual bool SameAs(const TBinding& other) const = 0;
    };

    template <class M>
    struct TMethodBinding final : TBinding {
        TMethodBinding(M* object, void (M::*method)(TObject*)) : Object(object), Method(method) {}
        void Invoke(TObject* sender) const override { (Object->*Method)(sender); }
        bool SameAs(const TBinding& other) const override {
            auto* o = dynamic_cast<const TMethodBinding*>(&other);
            return o && o->Object == Object && o->Method == Method;
        }
        M* Object;
        void (M::*Method)(TObject*);
    };

    template <class F>
    struct TCallableBinding final : TBinding {
        explicit TCallableBinding(F f) : Handler(std::move(f)) {}
        void Invoke(TObject* sender) const override { Handler(sender); }
        bool SameAs(const TBinding& other) const override { return this == &other; }
        mutable F Handler;
    };

    std::shared_ptr<const TBinding> FBinding;
};
