#include "net/Transfer.h"

#include "net/NetworkSwitch.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <utility>

namespace vq {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

// The value of "Name: value" when the line carries that header.
std::optional<std::string_view> headerValue(std::string_view line, std::string_view name)
{
    if (!startsWithNoCase(line, name) || line.size() <= name.size() || line[name.size()] != ':')
        return std::nullopt;
    return trimmed(line.substr(name.size() + 1));
}

} // namespace

Transfer::Transfer(TransferOptions options, Done done) : _options(std::move(options)), _done(std::move(done)) {}

std::optional<std::string> Transfer::prepare()
{
    if (!isNetworkEnabled())
        return std::string("The network is off");
    auto& e = _easy;
    if (!e)
        return std::string("Unable to create request (out of resources)");
    bool ok = e.set(CURLOPT_URL, _options.url.c_str()) && e.set(CURLOPT_PROTOCOLS_STR, "http,https") &&
              e.set(CURLOPT_FOLLOWLOCATION, 0L) && e.set(CURLOPT_NOSIGNAL, 1L) &&
              e.set(CURLOPT_SSL_VERIFYPEER, 1L) && e.set(CURLOPT_SSL_VERIFYHOST, 2L) &&
              e.set(CURLOPT_ERRORBUFFER, _errorBuffer) && e.set(CURLOPT_PRIVATE, this) &&
              e.set(CURLOPT_HEADERFUNCTION, &Transfer::onHeader) && e.set(CURLOPT_HEADERDATA, this) &&
              e.set(CURLOPT_WRITEFUNCTION, &Transfer::onBody) && e.set(CURLOPT_WRITEDATA, this) &&
              e.set(CURLOPT_XFERINFOFUNCTION, &Transfer::onProgress) && e.set(CURLOPT_XFERINFODATA, this) &&
              e.set(CURLOPT_NOPROGRESS, 0L);
    auto lines = _options.headerLines;
    if (_options.method == "GET" && !_options.body) {
        ok = ok && e.set(CURLOPT_HTTPGET, 1L);
    } else {
        // Any other method sends a body, if only an empty one, so its length is always known.
        const std::string& body = _options.body ? *_options.body : std::string();
        ok = ok && e.set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size())) &&
             e.set(CURLOPT_COPYPOSTFIELDS, body.c_str());
        lines.emplace_back("Expect:"); // no 100-continue round trip
        if (_options.method != "POST")
            ok = ok && e.set(CURLOPT_CUSTOMREQUEST, _options.method.c_str());
    }
    ok = ok && e.setHeaders(lines);
    if (!ok)
        return std::string("Unable to create request (bad url?)");
    return std::nullopt;
}

void Transfer::noteActivity() { _lastActivity = std::chrono::steady_clock::now(); }

std::chrono::steady_clock::time_point Transfer::timesOutAt() const
{
    auto idle = _lastActivity + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                    std::chrono::duration<double>(_options.timeOutSeconds));
    return _options.deadline ? std::min(idle, *_options.deadline) : idle;
}

std::size_t Transfer::onHeader(char* data, std::size_t size, std::size_t count, void* self)
{
    auto* transfer = static_cast<Transfer*>(self);
    transfer->noteActivity();
    // Anything short of the full count makes curl stop with a write error.
    return transfer->header(std::string_view(data, size * count)) ? size * count : 0;
}

std::size_t Transfer::onBody(char* data, std::size_t size, std::size_t count, void* self)
{
    auto* transfer = static_cast<Transfer*>(self);
    transfer->noteActivity();
    // Anything short of the full count makes curl stop with a write error.
    return transfer->body(std::string_view(data, size * count)) ? size * count : 0;
}

int Transfer::onProgress(void* self, curl_off_t, curl_off_t dlNow, curl_off_t, curl_off_t ulNow)
{
    auto* transfer = static_cast<Transfer*>(self);
    if (dlNow != transfer->_lastDown || ulNow != transfer->_lastUp) {
        transfer->_lastDown = dlNow;
        transfer->_lastUp = ulNow;
        transfer->noteActivity();
    }
    return 0;
}

bool Transfer::header(std::string_view line)
{
    line = trimmed(line);
    if (auto colon = line.find(':'); colon != std::string_view::npos && colon > 0 && !startsWithNoCase(line, "HTTP/"))
        _headers.emplace_back(std::string(trimmed(line.substr(0, colon))), std::string(trimmed(line.substr(colon + 1))));
    if (startsWithNoCase(line, "HTTP/")) {
        // A new response head (after a 1xx one, the final one): start over.
        _status = 0;
        _location.reset();
        _gzip = false;
        _contentLength.reset();
        _headers.clear();
        auto space = line.find(' ');
        int code = 0;
        if (space != std::string_view::npos) {
            auto text = line.substr(space + 1, 3);
            std::from_chars(text.data(), text.data() + text.size(), code);
        }
        if (code >= 200) // an interim head is no response yet
            _status = code;
    } else if (auto location = headerValue(line, "Location")) {
        _location = std::string(*location);
    } else if (auto encoding = headerValue(line, "Content-Encoding")) {
        _gzip = startsWithNoCase(*encoding, "gzip") || startsWithNoCase(*encoding, "x-gzip");
    } else if (auto length = headerValue(line, "Content-Length")) {
        std::size_t value = 0;
        auto [end, ec] = std::from_chars(length->data(), length->data() + length->size(), value);
        if (ec == std::errc() && end == length->data() + length->size())
            _contentLength = value;
    } else if (line.empty() && !_options.truncateBody && _status != 0 && !isFollowableRedirect() && !_gzip &&
               _contentLength && *_contentLength > _options.maxBodySize) {
        // The end of a final head announcing too much: refuse before any of it arrives.
        _error = tooLarge();
        return false;
    }
    return true;
}

std::string Transfer::tooLarge() const { return fmt::format("The response is larger than {} bytes", _options.maxBodySize); }

bool Transfer::isFollowableRedirect() const
{
    return (_status == 301 || _status == 302 || _status == 303 || _status == 307) && _location &&
           !_location->empty();
}

void Transfer::decideBodyMode()
{
    if (_mode != BodyMode::Undecided)
        return;
    if (isFollowableRedirect()) {
        _mode = BodyMode::Discard;
        return;
    }
    if (_gzip && !_options.truncateBody)
        _inflater.emplace(_options.maxBodySize);
    if (!_options.destination) {
        _mode = BodyMode::Memory;
        return;
    }
    _mode = BodyMode::File;
    auto folder = _options.destination->parent_path();
    if (folder.empty())
        folder = ".";
    _file = TempFile::createIn(folder);
    if (!_file) {
        // The destination folder is unusable; the move at the end will say so.
        std::error_code ec;
        auto spare = std::filesystem::temp_directory_path(ec);
        if (!ec)
            _file = TempFile::createIn(spare);
    }
    if (!_file)
        _error = fmt::format("Unable to create a temporary file for '{}'", _options.destination->string());
}

std::optional<std::string> Transfer::store(std::string_view bytes)
{
    if (_mode == BodyMode::Memory) {
        _body.append(bytes);
        return std::nullopt;
    }
    if (!_file->write(bytes))
        return fmt::format("Failed to write to '{}'", _file->path().string());
    return std::nullopt;
}

bool Transfer::body(std::string_view bytes)
{
    decideBodyMode();
    if (_error)
        return false;
    if (_mode == BodyMode::Discard)
        return true;
    if (_options.truncateBody) {
        auto room = _options.maxBodySize - std::min(_received, _options.maxBodySize);
        bytes = bytes.substr(0, room);
        _received += bytes.size();
        _error = bytes.empty() ? std::nullopt : store(bytes);
    } else if (_inflater) {
        _error = _inflater->feed(bytes, [this](std::string_view chunk) { return store(chunk); });
    } else {
        _received += bytes.size();
        _error = _received > _options.maxBodySize ? std::optional(tooLarge()) : store(bytes);
    }
    return !_error;
}

void Transfer::finalise(CURLcode rc)
{
    if (!_error && rc != CURLE_OK) {
        if (rc == CURLE_OPERATION_TIMEDOUT)
            _error = "The request timed out";
        else
            _error = fmt::format("A connection failure occurred: {}",
                                 _errorBuffer[0] ? _errorBuffer : curlLibrary()->easyStrerror(rc));
    }
    if (!_error) {
        _status = static_cast<int>(_easy.responseCode());
        decideBodyMode(); // an empty body still makes an (empty) file
    }
    // Only now: the file may have failed just above.
    if (!_error && _inflater)
        _error = _inflater->finish();
    if (_file && !_file->close() && !_error)
        _error = fmt::format("Failed to write to '{}'", _file->path().string());
    if (_error) {
        _file.reset(); // removes the partial file
        _body.clear();
    }
}

void Transfer::release()
{
    _easy.reset();
    _inflater.reset();
}

void Transfer::complete(CURLcode rc)
{
    finalise(rc);
    release();
    if (auto done = std::exchange(_done, nullptr))
        done(shared_from_this());
}

void Transfer::fail(std::string message)
{
    _error = std::move(message);
    complete(CURLE_OK);
}

void Transfer::abandon()
{
    release();
    _file.reset();
    _done = nullptr;
}

} // namespace vq
