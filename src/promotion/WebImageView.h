#pragma once

#include "graphics/Image.h"
#include "graphics/PictureLoader.h"
#include "net/HttpRequestDelegate.h"
#include "ui/ImageView.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace vq {

class ActivityIndicator;
class HttpRequest;

// An image view given a link: shows a spinner while the picture downloads,
// keeps the file in the caches folder under the link's last path component
// and shows it from there, so a later view of the same file name makes no
// request.
class WebImageView : public ImageView, public HttpRequestDelegate {
public:
    // Pictures larger than the fetched-picture caps (Image::kMaxFetched...) are
    // not decoded, nor kept.
    static constexpr int kMaxPictureSide = Image::kMaxFetchedSide;

    static std::shared_ptr<WebImageView> create();
    static std::shared_ptr<WebImageView> create(Rect frame);
    ~WebImageView() override;

    const char* className() const override { return "WebImageView"; }

    // The spinner follows: it covers the view and turns at its centre.
    void setFrame(Rect frame) override;

    const std::optional<std::string>& link() const { return _link; }
    void setLink(std::optional<std::string> link) { _link = std::move(link); }

    // Shows the cached file, or starts the download; nothing without a cache path.
    void startDownloading();
    // Caches folder / the link's last path component; nothing when the link
    // gives no usable file name (empty, ".", "..", a NUL, too long).
    std::optional<std::filesystem::path> cachePathForCurrentLink() const;
    // Shows the picture stored there once it is decoded (off the main thread,
    // no larger than the view draws it). Bytes that are not a picture we can
    // hold, or that do not decode within the bounds, leave the view without
    // an image and the file is removed.
    void loadImageFromCachcWithPath(const std::filesystem::path& path);

    // The cached file's name once its picture is on show.
    const std::optional<std::string>& imageFileName() const { return _imageFileName; }
    const std::shared_ptr<ActivityIndicator>& loadingView() const { return _loadingView; }
    const std::shared_ptr<HttpRequest>& request() const { return _request; }

    void requestStarted(const std::shared_ptr<HttpRequest>& request) override;
    void requestFinished(const std::shared_ptr<HttpRequest>& request) override;
    void requestFailed(const std::shared_ptr<HttpRequest>& request) override;

protected:
    WebImageView();

private:
    void initRequestComponents();
    void cancelDownload();
    void dropStagingFile();
    PictureBounds pictureBounds() const;
    void showPicture(const std::filesystem::path& path, const std::shared_ptr<Image>& image);

    std::shared_ptr<ActivityIndicator> _loadingView;
    std::shared_ptr<HttpRequest> _request;
    std::optional<std::string> _link;
    // Where the running download lands before it is known to be a 200 reply,
    // and the cache path it then moves to.
    std::optional<std::filesystem::path> _stagingPath;
    std::optional<std::filesystem::path> _targetPath;
    std::optional<std::string> _imageFileName;
    std::shared_ptr<PictureLoader::Ticket> _decoding;
};

} // namespace vq
