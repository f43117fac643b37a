#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <typeindex>
#include <vector>

namespace vq {

// Holds one subscription to the hub; the subscriber stops hearing when it
// goes away or is reset. Move-only.
class Subscription {
public:
    Subscription() = default;
    ~Subscription() { reset(); }
    Subscription(Subscription&& other) noexcept : _id(other._id) { other._id = 0; }
    Subscription& operator=(Subscription&& other) noexcept;
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;

    void reset();
    explicit operator bool() const { return _id != 0; }

private:
    friend class EventHub;
    explicit Subscription(std::uint64_t id) : _id(id) {}
    std::uint64_t _id = 0;
};

// Where the platform tells what happens (an alert shows, a URL opens, the
// composer finishes, ...) to anyone who listens. An event is any type: its
// publisher defines it next to itself, so new kinds need nothing here.
// Subscribers hear events of their type in subscription order.
//
// Main thread only, like the view tree: background work posts to the main
// run loop before publishing. A subscriber may subscribe or unsubscribe
// anyone, itself included, while an event is delivered: one that leaves
// hears nothing more, one that joins hears from the next event on.
class EventHub {
public:
    static EventHub& shared();

    template<typename Event>
    [[nodiscard]] Subscription subscribe(std::function<void(const Event&)> handler)
    {
        return add(typeid(Event), [handler = std::move(handler)](const void* event) {
            handler(*static_cast<const Event*>(event));
        });
    }

    template<typename Event>
    void publish(const Event& event)
    {
        deliver(typeid(Event), &event);
    }

    // How many subscribers hear events of that type.
    template<typename Event>
    std::size_t subscriberCount() const
    {
        return count(typeid(Event));
    }

    // Forgets every subscriber; their subscriptions become empty handles (tests).
    void reset();

private:
    friend class Subscription;
    using Handler = std::function<void(const void*)>;
    struct Entry {
        std::uint64_t id;
        std::type_index type;
        // Shared so a delivery in progress keeps it while the list changes.
        std::shared_ptr<Handler> handler;
    };

    EventHub() = default;
    Subscription add(std::type_index type, Handler handler);
    void remove(std::uint64_t id);
    void deliver(std::type_index type, const void* event);
    std::size_t count(std::type_index type) const;

    std::vector<Entry> _entries;
    std::uint64_t _nextId = 1;
};

} // namespace vq
