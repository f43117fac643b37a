#pragma once

#include "system/AlertViewDelegate.h"
#include "ui/View.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vq {

class AlertView;
class Window;

// Published on the event hub when an alert shows.
struct AlertShown {
    const AlertView& alert;
};

// A modal alert: title, message and a row of buttons in a box over a dimmed
// screen, in an alert-level window of its own. The cancel button is index 0;
// the other buttons follow (from 0 when there is no cancel button).
class AlertView : public View {
public:
    static std::shared_ptr<AlertView> create(std::string title, std::string message,
                                             std::weak_ptr<AlertViewDelegate> delegate,
                                             std::optional<std::string> cancelButtonTitle,
                                             std::vector<std::string> otherButtonTitles = {});
    ~AlertView() override;

    const char* className() const override { return "AlertView"; }

    const std::string& title() const { return _title; }
    void setTitle(std::string title);
    const std::string& message() const { return _message; }
    void setMessage(std::string message);
    std::shared_ptr<AlertViewDelegate> delegate() const { return _delegate.lock(); }
    void setDelegate(std::weak_ptr<AlertViewDelegate> delegate) { _delegate = std::move(delegate); }

    // Returns the new button's index.
    int addButtonWithTitle(std::string title);
    int numberOfButtons() const { return static_cast<int>(_buttons.size()); }
    // -1 when there is no cancel button.
    int cancelButtonIndex() const { return _cancelIndex; }
    std::optional<std::string> buttonTitleAtIndex(int index) const;

    void show();
    bool isVisible() const { return _window != nullptr && !_dismissing; }
    // Closes the alert as if that button had been chosen, but tells the
    // delegate only of the dismissal (not of a click).
    void dismissWithClickedButtonIndex(int index, bool animated);

    // The alerts on screen, oldest first.
    static std::vector<std::shared_ptr<AlertView>> visibleAlerts();
    // Closes every alert without telling anyone (between tests).
    static void resetForTests();

    // A button's box in the alert's bounds coordinates; empty for a bad index.
    Rect buttonFrame(int index) const;
    int highlightedButton() const { return _highlighted; }

    void draw(GraphicsContext& context) override;
    void touchesBegan(const Touch& touch) override;
    void touchesMoved(const Touch& touch) override;
    void touchesEnded(const Touch& touch) override;
    void touchesCancelled(const Touch& touch) override;

    static constexpr double kWidth = 270;
    static constexpr double kButtonHeight = 44;
    static constexpr double kDismissDuration = 0.2;

protected:
    AlertView();

private:
    void layoutAlert();
    int buttonAt(Point p) const;
    void finishDismissal(int index);
    // Button indices in their on-screen order: left to right for two buttons, else top to bottom.
    std::vector<int> visualOrder() const;

    std::string _title;
    std::string _message;
    std::weak_ptr<AlertViewDelegate> _delegate;
    std::vector<std::string> _buttons;
    int _cancelIndex = -1;
    std::shared_ptr<Window> _window;
    bool _dismissing = false;
    int _highlighted = -1;
    int _touchButton = -1;
    double _titleHeight = 0;
    double _messageHeight = 0;
};

} // namespace vq
