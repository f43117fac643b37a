#pragma once

#include "core/Geometry.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace vq {

// A posted notice: its name, the object that posted it (may be null) and a
// small map of extra values.
struct Notification {
    using Value = std::variant<bool, double, std::string, Point, Rect>;

    std::string name;
    const void* object = nullptr;
    std::map<std::string, Value> userInfo;

    // nullopt when the key is absent or holds another type.
    std::optional<Rect> rect(const std::string& key) const;
    std::optional<double> number(const std::string& key) const;
    std::optional<std::string> string(const std::string& key) const;
};

// The keyboard's notices and the keys of their userInfo.
inline const std::string KeyboardWillShowNotification = "KeyboardWillShowNotification";
inline const std::string KeyboardDidShowNotification = "KeyboardDidShowNotification";
inline const std::string KeyboardWillHideNotification = "KeyboardWillHideNotification";
inline const std::string KeyboardDidHideNotification = "KeyboardDidHideNotification";
inline const std::string KeyboardWillChangeFrameNotification = "KeyboardWillChangeFrameNotification";
inline const std::string KeyboardDidChangeFrameNotification = "KeyboardDidChangeFrameNotification";
inline const std::string KeyboardFrameBeginUserInfoKey = "KeyboardFrameBeginUserInfoKey";
inline const std::string KeyboardFrameEndUserInfoKey = "KeyboardFrameEndUserInfoKey";
inline const std::string KeyboardAnimationDurationUserInfoKey = "KeyboardAnimationDurationUserInfoKey";

// Delivers named notices to observers on the main thread, in the order the
// observers were added.
class NotificationCenter {
public:
    using Callback = std::function<void(const Notification&)>;
    using Token = std::uint64_t;

    static NotificationCenter& defaultCenter();

    // An empty name observes every notice. The owner only groups observers
    // for removeObserver(owner).
    Token addObserver(const std::string& name, const void* owner, Callback callback);
    // Dropped, never called, once the owner is gone.
    Token addObserver(const std::string& name, std::weak_ptr<const void> owner, Callback callback);

    void removeObserver(Token token);
    // Every observer of that owner (of one name, when given).
    void removeObserver(const void* owner, const std::string& name = {});

    void post(const std::string& name, const void* object = nullptr,
              std::map<std::string, Notification::Value> userInfo = {});
    void post(const Notification& notification);

    std::size_t observerCount() const { return _observers.size(); }
    // Drops every observer (between tests).
    void reset() { _observers.clear(); }

private:
    struct Observer {
        Token token;
        std::string name;
        const void* owner;
        bool weakOwner;
        std::weak_ptr<const void> weak;
        std::shared_ptr<Callback> callback;
    };
    std::vector<Observer> _observers;
    Token _nextToken = 1;
};

} // namespace vq
