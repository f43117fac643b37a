#pragma once

#include <functional>
#include <memory>
#include <string>

namespace vq {

class Responder;

// Published on the event hub when the first responder changes (the keyboard
// follows it). Either side may be null.
struct FirstResponderChanged {
    Responder* previous;
    Responder* current;
};

// Base of views and controllers: the responder chain and the first responder.
class Responder : public std::enable_shared_from_this<Responder> {
public:
    virtual ~Responder() = default;

    virtual std::shared_ptr<Responder> nextResponder() const { return nullptr; }

    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool becomeFirstResponder();
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;

    // Text input: a first responder that takes keys shows the keyboard.
    virtual bool needsKeyboard() const { return false; }
    virtual void insertText(const std::string&) {}
    virtual void deleteBackward() {}

    static std::shared_ptr<Responder> firstResponder();

protected:
    // Hooks for subclasses; the change has already happened when they run.
    virtual void didBecomeFirstResponder() {}
    virtual void didResignFirstResponder() {}
};

} // namespace vq
