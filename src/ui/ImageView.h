#pragma once

#include "ui/View.h"

#include <memory>

namespace vq {

class Image;

// Shows an image scaled to fill its bounds. Like a phone's image view it
// ignores touches until user interaction is enabled.
class ImageView : public View {
public:
    static std::shared_ptr<ImageView> create();
    static std::shared_ptr<ImageView> create(Rect frame);
    static std::shared_ptr<ImageView> create(std::shared_ptr<Image> image);
    // Sized to the image's point size at (0, 0).

    const char* className() const override { return "ImageView"; }

    // nullptr shows nothing.
    const std::shared_ptr<Image>& image() const { return _image; }
    void setImage(std::shared_ptr<Image> image);
    // Shown instead of the image while highlighted, when there is one.
    const std::shared_ptr<Image>& highlightedImage() const { return _highlightedImage; }
    void setHighlightedImage(std::shared_ptr<Image> image);
    bool isHighlighted() const { return _highlighted; }
    void setHighlighted(bool highlighted);

    // The image's size in points (zero without one).
    Size sizeThatFits(Size size) const override;
    void draw(GraphicsContext& context) override;

protected:
    ImageView();
    explicit ImageView(Rect frame);
    explicit ImageView(std::shared_ptr<Image> image);

private:
    std::shared_ptr<Image> _image;
    std::shared_ptr<Image> _highlightedImage;
    bool _highlighted = false;
};

} // namespace vq
