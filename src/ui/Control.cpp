#include "ui/Control.h"

#include <algorithm>

namespace vq {

std::shared_ptr<Control> Control::create() { return std::shared_ptr<Control>(new Control()); }

std::shared_ptr<Control> Control::create(Rect frame) { return std::shared_ptr<Control>(new Control(frame)); }

void Control::setEnabled(bool enabled)
{
    if (enabled == _enabled)
        return;
    _enabled = enabled;
    if (!enabled && _tracking) {
        // A control disabled mid-touch forgets the touch rather than firing later.
        _tracking = false;
        _highlighted = false;
    }
    stateDidChange();
}

void Control::setSelected(bool selected)
{
    if (selected == _selected)
        return;
    _selected = selected;
    stateDidChange();
}

void Control::setHighlighted(bool highlighted)
{
    if (highlighted == _highlighted)
        return;
    _highlighted = highlighted;
    stateDidChange();
}

ControlState Control::state() const
{
    if (!_enabled)
        return ControlState::Disabled;
    if (_highlighted)
        return ControlState::Highlighted;
    if (_selected)
        return ControlState::Selected;
    return ControlState::Normal;
}

void Control::addAction(ControlEvent event, std::function<void()> action)
{
    if (action)
        _actions.emplace_back(event, std::move(action));
}

void Control::removeActions(ControlEvent event)
{
    std::erase_if(_actions, [event](const auto& a) { return a.first == event; });
}

bool Control::hasActions(ControlEvent event) const
{
    return std::any_of(_actions.begin(), _actions.end(), [event](const auto& a) { return a.first == event; });
}

void Control::sendActions(ControlEvent event)
{
    // An action may remove the control or change its actions: work on a copy
    // and keep the control alive until all have run.
    auto keep = weak_from_this().lock();
    std::vector<std::function<void()>> due;
    for (auto& [e, fn] : _actions)
        if (e == event)
            due.push_back(fn);
    for (auto& fn : due)
        fn();
}

bool Control::isTouchInside(const Touch& touch) const
{
    return bounds().insetBy(-kTouchSlop, -kTouchSlop).contains(touch.locationIn(*this));
}

void Control::touchesBegan(const Touch&)
{
    if (!_enabled)
        return;
    _tracking = true;
    setHighlighted(true);
    sendActions(ControlEvent::TouchDown);
}

void Control::touchesMoved(const Touch& touch)
{
    if (!_tracking)
        return;
    setHighlighted(isTouchInside(touch));
}

void Control::touchesEnded(const Touch& touch)
{
    if (!_tracking)
        return;
    _tracking = false;
    bool inside = isTouchInside(touch);
    setHighlighted(false);
    sendActions(inside ? ControlEvent::TouchUpInside : ControlEvent::TouchUpOutside);
}

void Control::touchesCancelled(const Touch&)
{
    if (!_tracking)
        return;
    _tracking = false;
    setHighlighted(false);
    sendActions(ControlEvent::TouchCancel);
}

} // namespace vq
