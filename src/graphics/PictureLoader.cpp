#include "graphics/PictureLoader.h"

#include "core/Paths.h"
#include "core/RunLoop.h"
#include "core/TestResets.h"

#include <fmt/format.h>

#include <condition_variable>
#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <tuple>
#include <vector>

namespace vq {

namespace {

// One file, as it is on disk now, at one size.
struct Key {
    std::string file;
    std::uintmax_t bytes = 0;
    std::int64_t written = 0;
    int coverWidth = 0, coverHeight = 0;
    double scale = 1;
    auto operator<=>(const Key&) const = default;
};

std::optional<Key> keyOf(const std::filesystem::path& file, double scale, const PictureBounds& bounds)
{
    std::error_code ec;
    auto bytes = std::filesystem::file_size(file, ec);
    if (ec)
        return std::nullopt;
    auto written = std::filesystem::last_write_time(file, ec);
    if (ec)
        return std::nullopt;
    return Key{file.string(), bytes, written.time_since_epoch().count(), bounds.coverWidth, bounds.coverHeight, scale};
}

struct Waiter {
    const PictureLoader::Ticket* ticket; // nullptr: nothing can cancel it
    PictureLoader::Done done;
};

struct Job {
    std::optional<Key> key; // shared loads of a file
    std::filesystem::path file;
    std::string bytes;
    double scale = 1;
    PictureBounds bounds;
    std::atomic<bool> cancelled{false};
    unsigned generation = 0;
    std::vector<Waiter> waiters; // main thread
};

// Decoded pictures by what the file held and the size asked for: views of one
// picture share its pixels whatever file it came in. Any thread.
class ByContent {
public:
    struct Key {
        std::size_t hash = 0, bytes = 0;
        int coverWidth = 0, coverHeight = 0;
        double scale = 1;
        auto operator<=>(const Key&) const = default;
    };
    std::shared_ptr<Image> find(const Key& key)
    {
        std::lock_guard lock(_mutex);
        auto it = _images.find(key);
        return it == _images.end() ? nullptr : it->second.lock();
    }
    void add(const Key& key, const std::shared_ptr<Image>& image)
    {
        std::lock_guard lock(_mutex);
        std::erase_if(_images, [](const auto& entry) { return entry.second.expired(); });
        _images[key] = image;
    }
    void clear()
    {
        std::lock_guard lock(_mutex);
        _images.clear();
    }

private:
    std::mutex _mutex;
    std::map<Key, std::weak_ptr<Image>> _images;
};

ByContent& byContent()
{
    static auto* shared = new ByContent;
    return *shared;
}

DecodedPicture decodeShared(std::string_view bytes, double scale, const PictureBounds& bounds)
{
    ByContent::Key key{std::hash<std::string_view>{}(bytes), bytes.size(), bounds.coverWidth, bounds.coverHeight, scale};
    if (auto image = byContent().find(key))
        return {std::move(image), {}};
    auto decoded = decodePicture(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), scale,
                                 bounds);
    if (decoded.image)
        byContent().add(key, decoded.image);
    return decoded;
}

DecodedPicture run(Job& job)
{
    if (job.file.empty())
        return decodeShared(job.bytes, job.scale, job.bounds);
    std::error_code ec;
    auto size = std::filesystem::file_size(job.file, ec);
    if (ec)
        return {nullptr, fmt::format("cannot read it: {}", ec.message())};
    if (size > Image::kMaxFetchedBytes)
        return {nullptr, fmt::format("the picture is larger than {} bytes", Image::kMaxFetchedBytes)};
    auto bytes = readFile(job.file);
    if (!bytes)
        return {nullptr, "cannot read it"};
    return decodeShared(*bytes, job.scale, job.bounds);
}

class Loader {
public:
    // Never destroyed: views may let go of their tickets during exit. Its
    // thread is stopped and joined then (see Stopper).
    static Loader& shared()
    {
        static auto* loader = new Loader;
        return *loader;
    }

    void stop()
    {
        {
            std::lock_guard lock(_mutex);
            _stop = true;
            for (auto& job : _queue)
                job->cancelled = true;
            if (_current)
                _current->cancelled = true;
        }
        _wake.notify_all();
        if (_thread.joinable())
            _thread.join();
    }

    std::shared_ptr<Image> cached(const Key& key)
    {
        auto it = _decoded.find(key);
        if (it == _decoded.end())
            return nullptr;
        auto image = it->second.lock();
        if (!image)
            _decoded.erase(it);
        else
            keep(key, image);
        return image;
    }

    std::shared_ptr<PictureLoader::Ticket> add(std::shared_ptr<Job> job, PictureLoader::Done done, bool ticketed = true);
    void forget(const PictureLoader::Ticket* ticket, Job& job)
    {
        std::erase_if(job.waiters, [ticket](const Waiter& w) { return w.ticket == ticket; });
        if (job.waiters.empty())
            job.cancelled = true;
    }

    std::size_t pending() const { return _pending; }

    void remember(const Key& key, const std::shared_ptr<Image>& image)
    {
        // Keys of pictures nobody holds any more go as new ones come.
        std::erase_if(_decoded, [](const auto& entry) { return entry.second.expired(); });
        _decoded[key] = image;
        keep(key, image);
    }

    void reset()
    {
        {
            std::lock_guard lock(_mutex);
            for (auto& job : _queue)
                job->cancelled = true;
            _queue.clear();
            if (_current)
                _current->cancelled = true;
        }
        ++_generation;
        _pending = 0;
        _inFlight.clear();
        _decoded.clear();
        _kept.clear();
        _keptBytes = 0;
        byContent().clear();
    }

private:
    void work()
    {
        for (;;) {
            std::shared_ptr<Job> job;
            {
                std::unique_lock lock(_mutex);
                _wake.wait(lock, [&] { return _stop || !_queue.empty(); });
                if (_stop)
                    return;
                job = std::move(_queue.front());
                _queue.pop_front();
                _current = job;
            }
            DecodedPicture result = job->cancelled ? DecodedPicture{nullptr, "cancelled"} : run(*job);
            {
                std::lock_guard lock(_mutex);
                _current.reset();
            }
            RunLoop::main().post([job, result = std::move(result)] { Loader::shared().deliver(*job, result); });
        }
    }

    void deliver(Job& job, const DecodedPicture& result)
    {
        if (job.generation != _generation)
            return;
        --_pending;
        if (job.key) {
            if (auto it = _inFlight.find(*job.key); it != _inFlight.end() && it->second.lock().get() == &job)
                _inFlight.erase(it);
            if (result.image)
                remember(*job.key, result.image);
        }
        // A callback may add or drop waiters: deliver to the ones there now.
        auto waiters = std::move(job.waiters);
        for (auto& waiter : waiters)
            waiter.done(result);
    }

    // The last ones decoded stay in memory, within the budget.
    void keep(const Key& key, const std::shared_ptr<Image>& image)
    {
        std::erase_if(_kept, [&](const auto& entry) {
            if (entry.first != key)
                return false;
            _keptBytes -= bytesOf(*entry.second);
            return true;
        });
        _kept.emplace_front(key, image);
        _keptBytes += bytesOf(*image);
        while (_keptBytes > PictureLoader::kKeptBytes && !_kept.empty()) {
            _keptBytes -= bytesOf(*_kept.back().second);
            _kept.pop_back();
        }
    }

    static std::size_t bytesOf(const Image& image)
    {
        return static_cast<std::size_t>(image.pixelWidth()) * static_cast<std::size_t>(image.pixelHeight()) * 4;
    }

    friend class vq::PictureLoader;

    std::mutex _mutex;
    std::condition_variable _wake;
    std::deque<std::shared_ptr<Job>> _queue;
    std::shared_ptr<Job> _current;
    bool _stop = false;
    std::thread _thread;

    // Main thread.
    unsigned _generation = 0;
    std::size_t _pending = 0;
    std::map<Key, std::weak_ptr<Job>> _inFlight;
    std::map<Key, std::weak_ptr<Image>> _decoded;
    std::list<std::pair<Key, std::shared_ptr<Image>>> _kept;
    std::size_t _keptBytes = 0;
};

[[maybe_unused]] const bool resetAdded = (addResetForTests(&PictureLoader::resetForTests), true);

} // namespace

class PictureLoader::Ticket {
public:
    explicit Ticket(std::shared_ptr<Job> job) : _job(std::move(job)) {}
    ~Ticket() { Loader::shared().forget(this, *_job); }
    Ticket(const Ticket&) = delete;
    Ticket& operator=(const Ticket&) = delete;

private:
    std::shared_ptr<Job> _job;
};

namespace {

std::shared_ptr<PictureLoader::Ticket> Loader::add(std::shared_ptr<Job> job, PictureLoader::Done done, bool ticketed)
{
    auto ticket = ticketed ? std::make_shared<PictureLoader::Ticket>(job) : nullptr;
    job->waiters.push_back({ticket.get(), std::move(done)});
    job->generation = _generation;
    ++_pending;
    {
        std::lock_guard lock(_mutex);
        _queue.push_back(std::move(job));
        if (!_thread.joinable() && !_stop) {
            _thread = std::thread([this] { work(); });
            // Joined when the process ends, its decoding cut short.
            static struct Stopper {
                ~Stopper() { Loader::shared().stop(); }
            } stopper;
        }
    }
    _wake.notify_one();
    return ticket;
}

} // namespace

std::shared_ptr<Image> PictureLoader::cached(const std::filesystem::path& file, double scale, const PictureBounds& bounds)
{
    auto key = keyOf(file, scale, bounds);
    return key ? Loader::shared().cached(*key) : nullptr;
}

std::shared_ptr<PictureLoader::Ticket> PictureLoader::loadFile(const std::filesystem::path& file, double scale,
                                                               const PictureBounds& bounds, Done done)
{
    auto& loader = Loader::shared();
    auto key = keyOf(file, scale, bounds);
    // The same file at the same size on its way already: wait for that one.
    if (key) {
        if (auto it = loader._inFlight.find(*key); it != loader._inFlight.end())
            if (auto job = it->second.lock(); job && !job->cancelled) {
                auto ticket = std::make_shared<Ticket>(job);
                job->waiters.push_back({ticket.get(), std::move(done)});
                return ticket;
            }
    }
    auto job = std::make_shared<Job>();
    job->key = key;
    job->file = file;
    job->scale = scale;
    job->bounds = bounds;
    job->bounds.cancelled = &job->cancelled;
    if (key)
        loader._inFlight[*key] = job;
    return loader.add(std::move(job), std::move(done));
}

std::shared_ptr<PictureLoader::Ticket> PictureLoader::loadData(std::string bytes, double scale,
                                                               const PictureBounds& bounds, Done done)
{
    auto job = std::make_shared<Job>();
    job->bytes = std::move(bytes);
    job->scale = scale;
    job->bounds = bounds;
    job->bounds.cancelled = &job->cancelled;
    return Loader::shared().add(std::move(job), std::move(done));
}

void PictureLoader::remember(const std::filesystem::path& file, double scale, const PictureBounds& bounds,
                             const std::shared_ptr<Image>& image)
{
    if (auto key = keyOf(file, scale, bounds); key && image)
        Loader::shared().remember(*key, image);
}

void PictureLoader::loadDataDetached(std::string bytes, double scale, const PictureBounds& bounds, Done done)
{
    auto job = std::make_shared<Job>();
    job->bytes = std::move(bytes);
    job->scale = scale;
    job->bounds = bounds;
    job->bounds.cancelled = &job->cancelled;
    Loader::shared().add(std::move(job), std::move(done), false);
}

std::size_t PictureLoader::pendingCount() { return Loader::shared().pending(); }

void PictureLoader::resetForTests() { Loader::shared().reset(); }

} // namespace vq
