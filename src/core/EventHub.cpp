#include "core/EventHub.h"

#include <algorithm>

namespace vq {

Subscription& Subscription::operator=(Subscription&& other) noexcept
{
    if (this != &other) {
        reset();
        _id = other._id;
        other._id = 0;
    }
    return *this;
}

void Subscription::reset()
{
    if (_id)
        EventHub::shared().remove(_id);
    _id = 0;
}

EventHub& EventHub::shared()
{
    // Never destroyed: subscriptions held by other statics may go away after it would.
    static EventHub& hub = *new EventHub;
    return hub;
}

Subscription EventHub::add(std::type_index type, Handler handler)
{
    std::uint64_t id = _nextId++;
    _entries.push_back({id, type, std::make_shared<Handler>(std::move(handler))});
    return Subscription(id);
}

void EventHub::remove(std::uint64_t id)
{
    auto it = std::find_if(_entries.begin(), _entries.end(), [id](const Entry& e) { return e.id == id; });
    if (it != _entries.end())
        _entries.erase(it);
}

void EventHub::deliver(std::type_index type, const void* event)
{
    // Ids, not positions: handlers may add and remove entries as they run.
    std::vector<std::uint64_t> ids;
    for (const auto& entry : _entries)
        if (entry.type == type)
            ids.push_back(entry.id);
    for (auto id : ids) {
        auto it = std::find_if(_entries.begin(), _entries.end(), [id](const Entry& e) { return e.id == id; });
        if (it == _entries.end())
            continue; // left during this delivery
        auto handler = it->handler;
        (*handler)(event);
    }
}

std::size_t EventHub::count(std::type_index type) const
{
    return static_cast<std::size_t>(
        std::count_if(_entries.begin(), _entries.end(), [type](const Entry& e) { return e.type == type; }));
}

void EventHub::reset() { _entries.clear(); }

} // namespace vq
