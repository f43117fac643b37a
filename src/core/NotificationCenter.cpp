#include "core/NotificationCenter.h"

#include <algorithm>

namespace vq {

std::optional<Rect> Notification::rect(const std::string& key) const
{
    auto it = userInfo.find(key);
    if (it == userInfo.end())
        return std::nullopt;
    if (auto* r = std::get_if<Rect>(&it->second))
        return *r;
    return std::nullopt;
}

std::optional<double> Notification::number(const std::string& key) const
{
    auto it = userInfo.find(key);
    if (it == userInfo.end())
        return std::nullopt;
    if (auto* d = std::get_if<double>(&it->second))
        return *d;
    if (auto* b = std::get_if<bool>(&it->second))
        return *b ? 1.0 : 0.0;
    return std::nullopt;
}

std::optional<std::string> Notification::string(const std::string& key) const
{
    auto it = userInfo.find(key);
    if (it == userInfo.end())
        return std::nullopt;
    if (auto* s = std::get_if<std::string>(&it->second))
        return *s;
    return std::nullopt;
}

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(const std::string& name, const void* owner, Callback callback)
{
    Token token = _nextToken++;
    _observers.push_back({token, name, owner, false, {}, std::make_shared<Callback>(std::move(callback))});
    return token;
}

NotificationCenter::Token NotificationCenter::addObserver(const std::string& name, std::weak_ptr<const void> owner,
                                                          Callback callback)
{
    Token token = _nextToken++;
    const void* raw = owner.lock().get();
    _observers.push_back({token, name, raw, true, std::move(owner), std::make_shared<Callback>(std::move(callback))});
    return token;
}

void NotificationCenter::removeObserver(Token token)
{
    std::erase_if(_observers, [&](const Observer& o) { return o.token == token; });
}

void NotificationCenter::removeObserver(const void* owner, const std::string& name)
{
    if (!owner)
        return;
    std::erase_if(_observers, [&](const Observer& o) { return o.owner == owner && (name.empty() || o.name == name); });
}

void NotificationCenter::post(const std::string& name, const void* object, std::map<std::string, Notification::Value> userInfo)
{
    post(Notification{name, object, std::move(userInfo)});
}

void NotificationCenter::post(const Notification& notification)
{
    std::erase_if(_observers, [](const Observer& o) { return o.weakOwner && o.weak.expired(); });
    // Observers may add or remove observers while being told; work on a
    // snapshot and skip any removed meanwhile.
    std::vector<std::pair<Token, std::shared_ptr<Callback>>> targets;
    for (const auto& o : _observers)
        if (o.name.empty() || o.name == notification.name)
            targets.emplace_back(o.token, o.callback);
    for (auto& target : targets) {
        const Token token = target.first;
        auto& callback = target.second;
        auto it = std::find_if(_observers.begin(), _observers.end(), [&](const Observer& o) { return o.token == token; });
        if (it == _observers.end())
            continue;
        if (it->weakOwner) {
            auto alive = it->weak.lock();
            if (!alive)
                continue;
            (*callback)(notification);
        } else {
            (*callback)(notification);
        }
    }
}

} // namespace vq
