#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vq {

// A URL of any scheme (http, https, sms, quillpro, ...), kept as written and
// split into its parts. Made only through parse, so every Url is well formed.
class Url {
public:
    // nullopt when text is not an absolute URL: no scheme, spaces or other
    // characters a URL cannot hold, a broken "%" escape, a bad port.
    static std::optional<Url> parse(std::string_view text);

    // The text it was parsed from.
    const std::string& absoluteString() const { return _text; }
    // Lower case: schemes compare without regard to case.
    const std::string& scheme() const { return _scheme; }
    // As written (case kept); nothing when the URL has no "//" authority.
    const std::optional<std::string>& host() const { return _host; }
    // Nothing when none is written.
    std::optional<int> port() const { return _port; }
    // Still escaped; empty when there is none.
    const std::string& path() const { return _path; }
    // After "?" up to any "#"; nothing when there is no "?".
    const std::optional<std::string>& query() const { return _query; }
    const std::optional<std::string>& fragment() const { return _fragment; }
    // The path's last part, unescaped, a trailing "/" ignored; "/" for the root, empty without a path.
    std::string lastPathComponent() const;

    bool operator==(const Url& other) const { return _text == other._text; }

private:
    Url() = default;

    std::string _text;
    std::string _scheme;
    std::optional<std::string> _host;
    std::optional<int> _port;
    std::string _path;
    std::optional<std::string> _query;
    std::optional<std::string> _fragment;
};

} // namespace vq
