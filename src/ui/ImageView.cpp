#include "ui/ImageView.h"

#include "graphics/GraphicsContext.h"
#include "graphics/Image.h"

namespace vq {

std::shared_ptr<ImageView> ImageView::create() { return std::shared_ptr<ImageView>(new ImageView()); }

std::shared_ptr<ImageView> ImageView::create(Rect frame) { return std::shared_ptr<ImageView>(new ImageView(frame)); }

std::shared_ptr<ImageView> ImageView::create(std::shared_ptr<Image> image)
{
    return std::shared_ptr<ImageView>(new ImageView(std::move(image)));
}

ImageView::ImageView() { setUserInteractionEnabled(false); }

ImageView::ImageView(Rect frame) : View(frame) { setUserInteractionEnabled(false); }

ImageView::ImageView(std::shared_ptr<Image> image) : ImageView()
{
    if (image)
        setFrame({{0, 0}, image->size()});
    _image = std::move(image);
}

void ImageView::setImage(std::shared_ptr<Image> image)
{
    if (image == _image)
        return;
    _image = std::move(image);
    setNeedsDisplay();
}

void ImageView::setHighlightedImage(std::shared_ptr<Image> image)
{
    if (image == _highlightedImage)
        return;
    _highlightedImage = std::move(image);
    setNeedsDisplay();
}

void ImageView::setHighlighted(bool highlighted)
{
    if (highlighted == _highlighted)
        return;
    _highlighted = highlighted;
    setNeedsDisplay();
}

Size ImageView::sizeThatFits(Size) const { return _image ? _image->size() : Size{}; }

void ImageView::draw(GraphicsContext& context)
{
    const auto& shown = _highlighted && _highlightedImage ? _highlightedImage : _image;
    if (shown)
        context.drawImage(*shown, presentationBounds());
}

} // namespace vq
