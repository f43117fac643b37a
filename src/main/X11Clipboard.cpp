#include "main/X11Clipboard.h"

#include "main/XcbLibrary.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace vq {

namespace {

using Clock = std::chrono::steady_clock;

// A requestor that never takes the rest of an INCR transfer is dropped after this.
constexpr auto kTransferLifetime = std::chrono::seconds(30);

struct Content {
    std::vector<std::uint8_t> png;
    std::vector<std::uint8_t> jpeg;
};

struct Transfer {
    xcb_window_t requestor;
    xcb_atom_t property;
    xcb_atom_t type;
    std::shared_ptr<const Content> content;
    const std::vector<std::uint8_t>* bytes;
    std::size_t offset;
    Clock::time_point started;
};

template <class Reply>
struct FreeReply {
    void operator()(Reply* reply) const { std::free(reply); }
};
template <class Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeReply<Reply>>;

} // namespace

struct X11Clipboard::State {
    const XcbLibrary& xcb;
    xcb_connection_t* connection = nullptr;
    xcb_window_t window = 0;
    int wake = -1;

    xcb_atom_t clipboard = 0, targets = 0, png = 0, jpeg = 0, incr = 0, manager = 0, saveTargets = 0, saveProperty = 0;

    std::mutex mutex;
    std::shared_ptr<const Content> content; // null when the clipboard is not ours

    // The thread's own.
    std::vector<Transfer> transfers;
    std::atomic<bool> stopping{false};
    std::atomic<bool> handingOff{false};
    bool handedOff = false;
    std::thread thread;

    explicit State(const XcbLibrary& library) : xcb(library) {}

    ~State()
    {
        if (wake >= 0)
            ::close(wake);
        if (connection)
            xcb.disconnect(connection);
    }

    void poke() const
    {
        std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wake, &one, sizeof one);
    }

    xcb_window_t ownerOf(xcb_atom_t selection) const
    {
        ReplyPtr<xcb_get_selection_owner_reply_t> reply(
            xcb.getSelectionOwnerReply(connection, xcb.getSelectionOwner(connection, selection), nullptr));
        return reply ? reply->owner : XCB_NONE;
    }

    std::shared_ptr<const Content> current()
    {
        std::lock_guard lock(mutex);
        return content;
    }

    void notify(const xcb_selection_request_event_t& request, xcb_atom_t property)
    {
        xcb_selection_notify_event_t event{};
        event.response_type = XCB_SELECTION_NOTIFY;
        event.time = request.time;
        event.requestor = request.requestor;
        event.selection = request.selection;
        event.target = request.target;
        event.property = property;
        xcb.sendEvent(connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    }

    // The property the answer went into, or XCB_NONE for a refusal.
    xcb_atom_t answer(const xcb_selection_request_event_t& request)
    {
        // Clients from before ICCCM 2 name no property: the target stands for it.
        xcb_atom_t property = request.property != XCB_NONE ? request.property : request.target;
        auto picture = current();
        if (request.selection != clipboard || !picture)
            return XCB_NONE;
        if (request.target == targets) {
            std::vector<xcb_atom_t> offered{targets, png};
            if (!picture->jpeg.empty())
                offered.push_back(jpeg);
            xcb.changeProperty(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_ATOM, 32,
                               static_cast<std::uint32_t>(offered.size()), offered.data());
            return property;
        }
        const std::vector<std::uint8_t>* bytes = nullptr;
        if (request.target == png)
            bytes = &picture->png;
        else if (request.target == jpeg && !picture->jpeg.empty())
            bytes = &picture->jpeg;
        if (!bytes)
            return XCB_NONE;
        if (bytes->size() <= kChunk) {
            xcb.changeProperty(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, request.target, 8,
                               static_cast<std::uint32_t>(bytes->size()), bytes->data());
            return property;
        }
        // INCR: the size first; each chunk once the requestor deletes the one before.
        std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb.changeWindowAttributes(connection, request.requestor, XCB_CW_EVENT_MASK, &mask);
        std::uint32_t size = static_cast<std::uint32_t>(std::min<std::size_t>(bytes->size(), UINT32_MAX));
        xcb.changeProperty(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, incr, 32, 1, &size);
        transfers.push_back({request.requestor, property, request.target, picture, bytes, 0, Clock::now()});
        return property;
    }

    void continueTransfer(const xcb_property_notify_event_t& event)
    {
        if (event.state != XCB_PROPERTY_DELETE)
            return;
        auto it = std::find_if(transfers.begin(), transfers.end(), [&](const Transfer& t) {
            return t.requestor == event.window && t.property == event.atom;
        });
        if (it == transfers.end())
            return;
        std::size_t n = std::min(kChunk, it->bytes->size() - it->offset);
        // The last chunk is empty: that ends the transfer.
        xcb.changeProperty(connection, XCB_PROP_MODE_REPLACE, it->requestor, it->property, it->type, 8,
                           static_cast<std::uint32_t>(n), it->bytes->data() + it->offset);
        it->offset += n;
        if (n == 0)
            finish(it);
    }

    void finish(std::vector<Transfer>::iterator it)
    {
        xcb_window_t requestor = it->requestor;
        transfers.erase(it);
        bool more = std::any_of(transfers.begin(), transfers.end(), [&](const Transfer& t) { return t.requestor == requestor; });
        if (!more) {
            std::uint32_t none = XCB_EVENT_MASK_NO_EVENT;
            xcb.changeWindowAttributes(connection, requestor, XCB_CW_EVENT_MASK, &none);
        }
    }

    void handle(const xcb_generic_event_t& event)
    {
        switch (event.response_type & 0x7f) {
        case XCB_SELECTION_REQUEST: {
            const auto& request = reinterpret_cast<const xcb_selection_request_event_t&>(event);
            notify(request, answer(request));
            break;
        }
        case XCB_PROPERTY_NOTIFY:
            continueTransfer(reinterpret_cast<const xcb_property_notify_event_t&>(event));
            break;
        case XCB_SELECTION_CLEAR:
            // A clear from before our latest offer is stale: ask who holds it now.
            if (reinterpret_cast<const xcb_selection_clear_event_t&>(event).selection == clipboard &&
                ownerOf(clipboard) != window) {
                std::lock_guard lock(mutex);
                content.reset();
            }
            break;
        case XCB_SELECTION_NOTIFY:
            if (reinterpret_cast<const xcb_selection_notify_event_t&>(event).selection == manager)
                handedOff = true;
            break;
        default:
            break;
        }
    }

    void serve()
    {
        Clock::time_point handOffDeadline{};
        for (;;) {
            while (xcb_generic_event_t* event = xcb.pollForEvent(connection)) {
                handle(*event);
                std::free(event);
            }
            auto now = Clock::now();
            std::erase_if(transfers, [&](const Transfer& t) { return now - t.started > kTransferLifetime; });
            xcb.flush(connection);
            if (xcb.connectionHasError(connection))
                return;
            if (stopping) {
                if (!handingOff || handedOff)
                    return;
                if (handOffDeadline == Clock::time_point{})
                    handOffDeadline = now + std::chrono::duration_cast<Clock::duration>(
                                                std::chrono::duration<double>(kHandOffSeconds));
                else if (now >= handOffDeadline)
                    return;
            }
            pollfd fds[2] = {{xcb.getFileDescriptor(connection), POLLIN, 0}, {wake, POLLIN, 0}};
            // Another thread's round trip may have queued events without the socket showing them.
            ::poll(fds, 2, stopping ? 50 : 500);
            if (fds[1].revents & POLLIN) {
                std::uint64_t count = 0;
                [[maybe_unused]] auto n = ::read(wake, &count, sizeof count);
            }
        }
    }
};

std::unique_ptr<X11Clipboard> X11Clipboard::connect(std::string& error)
{
    const XcbLibrary* xcb = xcbLibrary();
    if (!xcb) {
        error = xcbLoadError();
        return nullptr;
    }
    auto state = std::make_unique<State>(*xcb);
    int screenNumber = 0;
    state->connection = xcb->connect(nullptr, &screenNumber);
    if (xcb->connectionHasError(state->connection)) {
        error = "cannot connect to the X server";
        return nullptr;
    }
    auto screens = xcb->setupRootsIterator(xcb->getSetup(state->connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb->screenNext(&screens);
    if (!screens.rem) {
        error = "the X server has no such screen";
        return nullptr;
    }
    const xcb_screen_t& screen = *screens.data;
    state->window = xcb->generateId(state->connection);
    std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb->createWindow(state->connection, XCB_COPY_FROM_PARENT, state->window, screen.root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen.root_visual, XCB_CW_EVENT_MASK, &mask);

    std::pair<const char*, xcb_atom_t*> atoms[] = {
        {"CLIPBOARD", &state->clipboard},      {"TARGETS", &state->targets},
        {"image/png", &state->png},            {"image/jpeg", &state->jpeg},
        {"INCR", &state->incr},                {"CLIPBOARD_MANAGER", &state->manager},
        {"SAVE_TARGETS", &state->saveTargets}, {"VELVET_QUILL_SAVE", &state->saveProperty},
    };
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (auto& [name, atom] : atoms)
        cookies.push_back(xcb->internAtom(state->connection, 0, static_cast<std::uint16_t>(std::string_view(name).size()), name));
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        ReplyPtr<xcb_intern_atom_reply_t> reply(xcb->internAtomReply(state->connection, cookies[i], nullptr));
        if (!reply) {
            error = "the X server did not name its atoms";
            return nullptr;
        }
        *atoms[i].second = reply->atom;
    }
    state->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (state->wake < 0) {
        error = "cannot make an event file descriptor";
        return nullptr;
    }
    xcb->flush(state->connection);
    State* raw = state.get();
    state->thread = std::thread([raw] { raw->serve(); });
    return std::unique_ptr<X11Clipboard>(new X11Clipboard(std::move(state)));
}

X11Clipboard::X11Clipboard(std::unique_ptr<State> state) : _state(std::move(state)) {}

X11Clipboard::~X11Clipboard()
{
    State& s = *_state;
    if (s.current() && s.ownerOf(s.clipboard) == s.window && s.ownerOf(s.manager) != XCB_NONE) {
        // The manager asks for the targets listed here, then answers on our window.
        xcb_atom_t saved[] = {s.png, s.jpeg};
        s.xcb.changeProperty(s.connection, XCB_PROP_MODE_REPLACE, s.window, s.saveProperty, XCB_ATOM_ATOM, 32,
                             s.current()->jpeg.empty() ? 1 : 2, saved);
        s.xcb.convertSelection(s.connection, s.window, s.manager, s.saveTargets, s.saveProperty, XCB_CURRENT_TIME);
        s.xcb.flush(s.connection);
        s.handingOff = true;
    }
    s.stopping = true;
    s.poke();
    s.thread.join();
    s.xcb.destroyWindow(s.connection, s.window);
    s.xcb.flush(s.connection);
}

std::optional<std::string> X11Clipboard::offer(std::vector<std::uint8_t> png, std::vector<std::uint8_t> jpeg)
{
    State& s = *_state;
    {
        std::lock_guard lock(s.mutex);
        s.content = std::make_shared<const Content>(Content{std::move(png), std::move(jpeg)});
    }
    s.xcb.setSelectionOwner(s.connection, s.window, s.clipboard, XCB_CURRENT_TIME);
    bool owned = s.ownerOf(s.clipboard) == s.window;
    s.poke();
    if (owned)
        return std::nullopt;
    std::lock_guard lock(s.mutex);
    s.content.reset();
    return "the X server did not give us the clipboard";
}

} // namespace vq
