#include "main/EventLog.h"

#include "analytics/Analytics.h"
#include "platform/AlertView.h"
#include "platform/Application.h"
#include "platform/EventHub.h"
#include "platform/Json.h"
#include "platform/Log.h"
#include "platform/MessageComposer.h"
#include "platform/Pasteboard.h"
#include "platform/RunLoop.h"
#include "platform/StoreProductPage.h"
#include "net/RequestObserver.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace vq {

namespace {

class EventLogSink : public LogSink {
public:
    explicit EventLogSink(EventLog& log) : _log(log) {}
    void write(std::string_view line) override
    {
        _log.write("log", [&](JsonWriter& json) { json.key("text").value(line); });
    }

private:
    EventLog& _log;
};

} // namespace

std::shared_ptr<EventLog> EventLog::open(const std::filesystem::path& path, std::string* error)
{
    if (path.has_parent_path()) {
        std::error_code ec;
        std::filesystem::create_directories(path.parent_path(), ec);
    }
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (!file) {
        if (error)
            *error = fmt::format("cannot open the events file {}: {}", path.string(), std::strerror(errno));
        return nullptr;
    }
    auto log = std::make_shared<EventLog>(file, RunLoop::main().now());
    log->_path = path.string();
    log->listen();
    return log;
}

EventLog::EventLog(std::FILE* file, double start) : _file(file), _start(start), _lastTime(start) {}

EventLog::~EventLog()
{
    stopListening();
    std::fclose(_file);
}

void EventLog::write(std::string_view type, const std::function<void(JsonWriter&)>& fields)
{
    double now = _lastTime.load();
    if (RunLoop::main().isMainThread()) {
        now = RunLoop::main().now();
        _lastTime.store(now);
    }
    JsonWriter json;
    json.beginObject().key("t").value(now - _start).key("type").value(type);
    fields(json);
    json.endObject();
    std::lock_guard lock(_mutex);
    bool ok = std::fputs(json.str().c_str(), _file) >= 0;
    ok = std::fputc('\n', _file) != EOF && ok;
    ok = std::fflush(_file) == 0 && ok;
    if (!ok && !_failed.exchange(true)) {
        // Said once: a full disk would otherwise repeat it for every event.
        int err = errno;
        std::fprintf(stderr, "velvet-quill: cannot write the events file %s: %s; later events are lost\n",
                     _path.c_str(), std::strerror(err));
    }
    if (!ok)
        std::clearerr(_file);
}

void EventLog::listen()
{
    _sink = std::make_shared<EventLogSink>(*this);
    addLogSink(_sink);
    auto& hub = EventHub::shared();
    _subscriptions.push_back(hub.subscribe<URLOpened>([this](const URLOpened& event) {
        write("open-url", [&](JsonWriter& json) { json.key("url").value(event.url); });
    }));
    _subscriptions.push_back(hub.subscribe<AlertShown>([this](const AlertShown& event) {
        const AlertView& alert = event.alert;
        write("alert", [&](JsonWriter& json) {
            json.key("title").value(alert.title()).key("message").value(alert.message());
            json.key("buttons").beginArray();
            for (int i = 0; i < alert.numberOfButtons(); ++i)
                json.value(alert.buttonTitleAtIndex(i).value_or(""));
            json.endArray();
            json.key("tag").value(alert.tag());
        });
    }));
    _subscriptions.push_back(hub.subscribe<AnalyticsEventLogged>([this](const AnalyticsEventLogged& event) {
        write("analytics", [&](JsonWriter& json) { json.key("event").value(event.name); });
    }));
    _subscriptions.push_back(hub.subscribe<AttachmentAdded>([this](const AttachmentAdded& event) {
        const auto& attachment = event.attachment;
        write("attachment", [&](JsonWriter& json) {
            json.key("typeIdentifier").value(attachment.typeIdentifier).key("filename").value(attachment.filename);
            json.key("path").value(attachment.path.string());
            json.key("width").value(attachment.pixelWidth).key("height").value(attachment.pixelHeight);
        });
    }));
    _subscriptions.push_back(hub.subscribe<ComposerFinished>([this](const ComposerFinished& event) {
        const char* names[] = {"cancelled", "sent", "failed"};
        write("composer-finished",
              [&](JsonWriter& json) { json.key("result").value(names[static_cast<int>(event.result)]); });
    }));
    _subscriptions.push_back(hub.subscribe<PasteboardImageWritten>([this](const PasteboardImageWritten& event) {
        write("pasteboard",
              [&](JsonWriter& json) { json.key("pasteboardType").value(event.type).key("path").value(event.path.string()); });
    }));
    _subscriptions.push_back(hub.subscribe<RequestEnded>([this](const RequestEnded& event) {
        write("http", [&](JsonWriter& json) {
            json.key("url").value(event.url);
            if (event.error)
                json.key("error").value(*event.error);
            else
                json.key("status").value(event.status);
        });
    }));
    _subscriptions.push_back(hub.subscribe<StorePageEvent>([this](const StorePageEvent& event) {
        write("store-page", [&](JsonWriter& json) { json.key("id").value(event.id).key("state").value(event.state); });
    }));
    _subscriptions.push_back(hub.subscribe<PushRegistration>([this](const PushRegistration& event) {
        write("push", [&](JsonWriter& json) {
            if (event.token)
                json.key("token").value(*event.token);
            else
                json.key("error").value(event.error.value_or(""));
        });
    }));
}

void EventLog::stopListening()
{
    if (_sink)
        removeLogSink(_sink);
    _sink.reset();
    _subscriptions.clear();
}

} // namespace vq
