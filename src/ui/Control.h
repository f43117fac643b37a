#pragma once

#include "ui/View.h"

#include <functional>
#include <utility>
#include <vector>

namespace vq {

// The state a control draws in. A control that is selected and highlighted
// draws highlighted; a disabled one draws disabled whatever else it is.
enum class ControlState { Normal, Highlighted, Selected, Disabled };

enum class ControlEvent { TouchDown, TouchUpInside, TouchUpOutside, TouchCancel, ValueChanged };

// A view that tracks a touch and sends actions for control events.
class Control : public View {
public:
    static std::shared_ptr<Control> create();
    static std::shared_ptr<Control> create(Rect frame);
    // How far outside its bounds a finger may stray and still count as inside.
    static constexpr double kTouchSlop = 10;

    const char* className() const override { return "Control"; }

    bool isEnabled() const { return _enabled; }
    virtual void setEnabled(bool enabled);
    bool isSelected() const { return _selected; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const { return _highlighted; }
    virtual void setHighlighted(bool highlighted);
    ControlState state() const;
    bool isTracking() const { return _tracking; }

    // Actions run in the order they were added. Capture the receiver weakly.
    void addAction(ControlEvent event, std::function<void()> action);
    void removeActions(ControlEvent event);
    bool hasActions(ControlEvent event) const;
    void sendActions(ControlEvent event);

    bool isEnabledForTouches() const override { return _enabled; }
    void touchesBegan(const Touch& touch) override;
    void touchesMoved(const Touch& touch) override;
    void touchesEnded(const Touch& touch) override;
    void touchesCancelled(const Touch& touch) override;

protected:
    // Inside the bounds grown by the slop, in this view's coordinates.
    bool isTouchInside(const Touch& touch) const;
    // Called after enabled, selected or highlighted changed.
    virtual void stateDidChange() { setNeedsDisplay(); }

protected:
    Control() = default;
    explicit Control(Rect frame) : View(frame) {}

private:
    bool _enabled = true;
    bool _selected = false;
    bool _highlighted = false;
    bool _tracking = false;
    std::vector<std::pair<ControlEvent, std::function<void()>>> _actions;
};

} // namespace vq
