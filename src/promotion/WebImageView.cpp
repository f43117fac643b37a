#include "promotion/WebImageView.h"

#include "core/Log.h"
#include "core/Paths.h"
#include "graphics/Image.h"
#include "graphics/PictureLoader.h"
#include "graphics/Screen.h"
#include "net/HttpRequest.h"
#include "promotion/CachesFolder.h"
#include "ui/ActivityIndicator.h"

#include <unistd.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <span>
#include <string_view>
#include <system_error>

namespace vq {

namespace {

std::size_t maxFileNameLength(const std::filesystem::path& folder)
{
    long max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return max > 0 ? static_cast<std::size_t>(max) : NAME_MAX;
}

// The text after the last "/", trailing slashes ignored; what is left of a
// link without any "/" is its whole text.
std::string_view lastPathComponent(std::string_view text)
{
    while (!text.empty() && text.back() == '/')
        text.remove_suffix(1);
    auto slash = text.rfind('/');
    return slash == std::string_view::npos ? text : text.substr(slash + 1);
}

std::filesystem::path newStagingPath(const std::filesystem::path& folder)
{
    static unsigned long counter = 0;
    return folder / fmt::format(".download-{}-{}", ::getpid(), ++counter);
}

// Downloads that a killed process left behind (theirs and the HTTP
// service's, both ".download-..."). A live download writes at least once per
// time-out, so one untouched for this long is nobody's.
void sweepAbandonedDownloads(const std::filesystem::path& folder)
{
    // Once for each caches folder: a look at it per picture would cost more than it finds.
    static std::filesystem::path swept;
    if (std::exchange(swept, folder) == folder)
        return;
    constexpr auto kAbandoned = std::chrono::minutes(10);
    auto now = std::filesystem::file_time_type::clock::now();
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        if (!it->path().filename().string().starts_with(".download-") || !it->is_regular_file(entryError))
            continue;
        auto written = it->last_write_time(entryError);
        if (!entryError && now - written > kAbandoned)
            std::filesystem::remove(it->path(), entryError);
    }
}

} // namespace

std::shared_ptr<WebImageView> WebImageView::create()
{
    auto view = std::shared_ptr<WebImageView>(new WebImageView());
    view->initRequestComponents();
    return view;
}

std::shared_ptr<WebImageView> WebImageView::create(Rect frame)
{
    auto view = create();
    view->setFrame(frame);
    return view;
}

WebImageView::WebImageView() = default;

WebImageView::~WebImageView()
{
    // No callback may reach a view that is gone.
    if (_request)
        _request->clearDelegatesAndCancel();
    dropStagingFile();
}

void WebImageView::initRequestComponents()
{
    _loadingView = ActivityIndicator::create(ActivityIndicatorStyle::WhiteLarge);
    addSubview(_loadingView);
    _loadingView->setFrame({0, 0, bounds().width(), bounds().height()});
}

void WebImageView::setFrame(Rect frame)
{
    ImageView::setFrame(frame);
    if (_loadingView)
        _loadingView->setFrame({0, 0, frame.width(), frame.height()});
}

std::optional<std::filesystem::path> WebImageView::cachePathForCurrentLink() const
{
    if (!_link || _link->empty())
        return std::nullopt;
    std::string_view name = lastPathComponent(*_link);
    // Each of these would name no file, or one outside the caches folder.
    if (name.empty() || name == "." || name == ".." || name.find('\0') != std::string_view::npos)
        return std::nullopt;
    auto folder = Paths::cacheDir();
    if (name.size() > maxFileNameLength(folder))
        return std::nullopt;
    return folder / std::string(name);
}

void WebImageView::startDownloading()
{
    // An earlier link's download must never land in this view later (rows are reused).
    cancelDownload();
    auto path = cachePathForCurrentLink();
    if (!path)
        return;
    std::error_code ec;
    if (std::filesystem::exists(*path, ec)) {
        loadImageFromCachcWithPath(*path);
        return;
    }
    if (auto error = Paths::ensureDirectory(path->parent_path())) {
        log("{}", *error);
        return;
    }
    sweepAbandonedDownloads(path->parent_path());
    _stagingPath = newStagingPath(path->parent_path());
    _targetPath = *path;
    _request = HttpRequest::requestWithURL(*_link);
    // A wall of icons must not hold up reports, lists and store lookups.
    _request->setLowPriority(true);
    _request->setDelegate(std::weak_ptr<HttpRequestDelegate>(std::static_pointer_cast<WebImageView>(self())));
    _request->setDownloadDestinationPath(*_stagingPath);
    _request->startAsynchronous();
}

PictureBounds WebImageView::pictureBounds() const
{
    // Decoded no larger than it is drawn, at the screen's scale.
    double scale = Screen::main().scale();
    Size size = bounds().size;
    return PictureBounds{static_cast<int>(std::ceil(size.width * scale)), static_cast<int>(std::ceil(size.height * scale))};
}

void WebImageView::loadImageFromCachcWithPath(const std::filesystem::path& path)
{
    _decoding.reset();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) || ec)
        return; // unreadable: nothing changes
    // Its size in points is its size in pixels, as the server sent it.
    double scale = 1;
    PictureBounds bounds = pictureBounds();
    if (auto image = PictureLoader::cached(path, scale, bounds))
        return showPicture(path, image);
    std::weak_ptr<WebImageView> weak = std::static_pointer_cast<WebImageView>(self());
    _decoding = PictureLoader::loadFile(path, scale, bounds, [weak, path](const DecodedPicture& picture) {
        auto self = weak.lock();
        if (!self)
            return;
        self->_decoding.reset();
        if (picture.image)
            return self->showPicture(path, picture.image);
        self->setImage(nullptr);
        self->_imageFileName.reset();
        // Not a picture we can show, or one that would not finish: a later view downloads it anew.
        log("not a usable picture, removed: {} ({})", path.string(), picture.error);
        std::error_code removed;
        std::filesystem::remove(path, removed);
    });
}

void WebImageView::showPicture(const std::filesystem::path& path, const std::shared_ptr<Image>& image)
{
    setImage(image);
    _imageFileName = path.filename().string();
}

void WebImageView::requestStarted(const std::shared_ptr<HttpRequest>& request)
{
    if (request != _request)
        return;
    _loadingView->startAnimating();
}

void WebImageView::requestFinished(const std::shared_ptr<HttpRequest>& request)
{
    if (request != _request)
        return;
    _loadingView->stopAnimating();
    auto staging = std::exchange(_stagingPath, std::nullopt);
    auto target = std::exchange(_targetPath, std::nullopt);
    if (!staging || !target)
        return;
    std::error_code ec;
    if (request->responseStatusCode() != 200) {
        // Only a picture the server gave with 200 is kept.
        std::filesystem::remove(*staging, ec);
        return;
    }
    // Decoded before it goes into the caches folder: a file there is one that
    // decodes, so no later launch meets a picture that never finishes.
    double scale = 1;
    PictureBounds bounds = pictureBounds();
    std::weak_ptr<WebImageView> weak = std::static_pointer_cast<WebImageView>(self());
    _stagingPath = staging;
    _decoding = PictureLoader::loadFile(*staging, scale, bounds, [weak, staging = *staging, target = *target, scale,
                                                                  bounds](const DecodedPicture& picture) {
        auto self = weak.lock();
        std::error_code failed;
        if (!self) {
            std::filesystem::remove(staging, failed);
            return;
        }
        self->_decoding.reset();
        self->_stagingPath.reset();
        if (!picture.image) {
            log("not a usable picture, not kept: {} ({})", target.string(), picture.error);
            std::filesystem::remove(staging, failed);
            return;
        }
        std::filesystem::rename(staging, target, failed);
        if (failed) {
            log("cannot keep the picture at {}: {}", target.string(), failed.message());
            std::filesystem::remove(staging, failed);
        } else {
            PictureLoader::remember(target, scale, bounds, picture.image);
            CachesFolder::added(target);
        }
        self->showPicture(target, picture.image);
    });
}

void WebImageView::requestFailed(const std::shared_ptr<HttpRequest>& request)
{
    if (request != _request)
        return;
    _loadingView->stopAnimating();
    // A full disk or a broken download would otherwise pass without a word.
    log("picture not downloaded from {}: {}", request->url(), request->error().value_or("no reason given"));
    dropStagingFile();
}

void WebImageView::cancelDownload()
{
    if (_request && !_request->isFinished()) {
        _request->clearDelegatesAndCancel();
        _loadingView->stopAnimating();
    }
    _decoding.reset();
    dropStagingFile();
}

void WebImageView::dropStagingFile()
{
    _targetPath.reset();
    if (auto staging = std::exchange(_stagingPath, std::nullopt)) {
        std::error_code ec;
        std::filesystem::remove(*staging, ec);
    }
}

} // namespace vq
