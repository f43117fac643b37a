#include "main/EventLog.h"

#include "adnetwork/BannerView.h"
#include "analytics/Analytics.h"
#include "core/EventHub.h"
#include "core/Json.h"
#include "core/Log.h"
#include "core/RunLoop.h"
#include "net/RequestObserver.h"
#include "system/AlertView.h"
#include "system/Application.h"
#include "system/MessageComposer.h"
#include "system/Pasteboard.h"
#include "system/StoreProductPage.h"

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
        _log.write("log", [&](Json& json) { json["text"] = line; });
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

void EventLog::write(std::string_view type, const std::function<void(Json&)>& fields)
{
    double now = _lastTime.load();
    if (RunLoop::main().isMainThread()) {
        now = RunLoop::main().now();
        _lastTime.store(now);
    }
    Json json = {{"t", jsonNumber(now - _start)}, {"type", type}};
    fields(json);
    std::string line = jsonText(json);
    std::lock_guard lock(_mutex);
    bool ok = std::fputs(line.c_str(), _file) >= 0;
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
        write("open-url", [&](Json& json) { json["url"] = event.url; });
    }));
    _subscriptions.push_back(hub.subscribe<AlertShown>([this](const AlertShown& event) {
        const AlertView& alert = event.alert;
        write("alert", [&](Json& json) {
            json["title"] = alert.title();
            json["message"] = alert.message();
            Json& buttons = json["buttons"] = Json::array();
            for (int i = 0; i < alert.numberOfButtons(); ++i)
                buttons.push_back(alert.buttonTitleAtIndex(i).value_or(""));
            json["tag"] = alert.tag();
        });
    }));
    _subscriptions.push_back(hub.subscribe<AnalyticsEventLogged>([this](const AnalyticsEventLogged& event) {
        write("analytics", [&](Json& json) { json["event"] = event.name; });
    }));
    _subscriptions.push_back(hub.subscribe<AttachmentAdded>([this](const AttachmentAdded& event) {
        const auto& attachment = event.attachment;
        write("attachment", [&](Json& json) {
            json["typeIdentifier"] = attachment.typeIdentifier;
            json["filename"] = attachment.filename;
            json["path"] = attachment.path.string();
            json["width"] = attachment.pixelWidth;
            json["height"] = attachment.pixelHeight;
        });
    }));
    _subscriptions.push_back(hub.subscribe<ComposerFinished>([this](const ComposerFinished& event) {
        const char* names[] = {"cancelled", "sent", "failed"};
        write("composer-finished",
              [&](Json& json) { json["result"] = names[static_cast<int>(event.result)]; });
    }));
    _subscriptions.push_back(hub.subscribe<PasteboardImageWritten>([this](const PasteboardImageWritten& event) {
        write("pasteboard",
              [&](Json& json) {
                  json["pasteboardType"] = event.type;
                  json["path"] = event.path.string();
              });
    }));
    _subscriptions.push_back(hub.subscribe<RequestEnded>([this](const RequestEnded& event) {
        write("http", [&](Json& json) {
            json["url"] = event.url;
            if (event.error)
                json["error"] = *event.error;
            else
                json["status"] = event.status;
        });
    }));
    _subscriptions.push_back(hub.subscribe<BannerEvent>([this](const BannerEvent& event) {
        write("banner", [&](Json& json) {
            json["state"] = event.state;
            json["unit"] = event.unit;
        });
    }));
    _subscriptions.push_back(hub.subscribe<StorePageEvent>([this](const StorePageEvent& event) {
        write("store-page", [&](Json& json) {
            json["id"] = event.id;
            json["state"] = event.state;
        });
    }));
    _subscriptions.push_back(hub.subscribe<PushRegistration>([this](const PushRegistration& event) {
        write("push", [&](Json& json) {
            if (event.token)
                json["token"] = *event.token;
            else
                json["error"] = event.error.value_or("");
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
