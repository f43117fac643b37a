#include "ui/TableViewCell.h"

#include "graphics/Font.h"
#include "graphics/Image.h"
#include "ui/ImageView.h"
#include "ui/Label.h"

#include <algorithm>

namespace vq {

namespace {

const Color kBlueSelection = Color::rgb255(4, 119, 239);
const Color kGraySelection = Color::rgb255(217, 217, 217);

} // namespace

std::shared_ptr<TableViewCell> TableViewCell::create(TableViewCellStyle style, std::string reuseIdentifier)
{
    return std::shared_ptr<TableViewCell>(new TableViewCell(style, std::move(reuseIdentifier)));
}

TableViewCell::TableViewCell(TableViewCellStyle style, std::string reuseIdentifier)
    : _style(style), _reuseIdentifier(std::move(reuseIdentifier))
{
    setBackgroundColor(Color::whiteColor());
}

std::shared_ptr<View> TableViewCell::contentView()
{
    if (!_contentView) {
        // Subviews need the cell to be owned already, so not in the constructor.
        _contentView = View::create(bounds());
        addSubview(_contentView);
    }
    return _contentView;
}

std::shared_ptr<Label> TableViewCell::textLabel()
{
    if (!_textLabel) {
        _textLabel = Label::create();
        _textLabel->setFont(Font::systemFont(18));
        _textLabel->setHighlightedTextColor(Color::whiteColor());
        contentView()->addSubview(_textLabel);
        setNeedsLayout();
    }
    return _textLabel;
}

std::shared_ptr<Label> TableViewCell::detailTextLabel()
{
    if (_style == TableViewCellStyle::Default)
        return nullptr;
    if (!_detailTextLabel) {
        _detailTextLabel = Label::create();
        _detailTextLabel->setFont(Font::systemFont(12));
        _detailTextLabel->setHighlightedTextColor(Color::whiteColor());
        contentView()->addSubview(_detailTextLabel);
        setNeedsLayout();
    }
    return _detailTextLabel;
}

std::shared_ptr<ImageView> TableViewCell::imageView()
{
    if (!_imageView) {
        _imageView = ImageView::create();
        contentView()->addSubview(_imageView);
        setNeedsLayout();
    }
    return _imageView;
}

void TableViewCell::setSelectionStyle(TableViewCellSelectionStyle style)
{
    _selectionStyle = style;
    _defaultSelectedBackground.reset();
    updateSelectionBackground();
}

void TableViewCell::setSelected(bool selected, bool)
{
    if (selected == _selected)
        return;
    _selected = selected;
    updateSelectionBackground();
}

void TableViewCell::setHighlighted(bool highlighted, bool)
{
    if (highlighted == _highlighted)
        return;
    _highlighted = highlighted;
    updateSelectionBackground();
}

void TableViewCell::setSelectedBackgroundView(std::shared_ptr<View> view)
{
    if (_selectedBackgroundView)
        _selectedBackgroundView->removeFromSuperview();
    _selectedBackgroundView = std::move(view);
    updateSelectionBackground();
}

void TableViewCell::setBackgroundView(std::shared_ptr<View> view)
{
    if (_backgroundView)
        _backgroundView->removeFromSuperview();
    _backgroundView = std::move(view);
    if (_backgroundView) {
        insertSubview(_backgroundView, 0);
        _backgroundView->setFrame(bounds());
    }
}

void TableViewCell::updateSelectionBackground()
{
    bool show = (_selected || _highlighted) && _selectionStyle != TableViewCellSelectionStyle::None;
    // White text reads on the blue selection only.
    bool whiten = show && _selectionStyle == TableViewCellSelectionStyle::Blue;
    if (_textLabel)
        _textLabel->setHighlighted(whiten);
    if (_detailTextLabel)
        _detailTextLabel->setHighlighted(whiten);
    if (_imageView)
        _imageView->setHighlighted(show);
    std::shared_ptr<View> view = _selectedBackgroundView;
    if (!view && _selectionStyle != TableViewCellSelectionStyle::None) {
        if (!_defaultSelectedBackground) {
            _defaultSelectedBackground = View::create();
            _defaultSelectedBackground->setBackgroundColor(
                _selectionStyle == TableViewCellSelectionStyle::Blue ? kBlueSelection : kGraySelection);
        }
        view = _defaultSelectedBackground;
    }
    if (_defaultSelectedBackground && _defaultSelectedBackground != view)
        _defaultSelectedBackground->removeFromSuperview();
    if (!view)
        return;
    if (!show) {
        view->removeFromSuperview();
        return;
    }
    if (view->superview().get() != this) {
        // Above the plain background, below the content.
        insertSubview(view, _backgroundView ? 1 : 0);
    }
    view->setFrame(bounds());
    setNeedsDisplay();
}

void TableViewCell::prepareForReuse()
{
    setSelected(false, false);
    setHighlighted(false, false);
}

void TableViewCell::layoutSubviews()
{
    Rect b = bounds();
    auto content = contentView();
    content->setFrame(b);
    if (_backgroundView)
        _backgroundView->setFrame(b);
    if (_selectedBackgroundView)
        _selectedBackgroundView->setFrame(b);
    if (_defaultSelectedBackground)
        _defaultSelectedBackground->setFrame(b);

    double x = kMargin;
    if (_imageView) {
        Size s = _imageView->image() ? _imageView->image()->size() : Size{};
        // Images taller than the row shrink to it.
        if (s.height > b.height() && s.height > 0)
            s = {s.width * b.height() / s.height, b.height()};
        _imageView->setFrame({kMargin, (b.height() - s.height) / 2, s.width, s.height});
        if (s.width > 0)
            x = kMargin + s.width + kMargin;
    }
    double width = std::max(0.0, b.width() - x - kMargin);
    Size main = _textLabel ? _textLabel->sizeThatFits({width, b.height()}) : Size{};
    Size detail = _detailTextLabel ? _detailTextLabel->sizeThatFits({width, b.height()}) : Size{};
    main.width = std::min(main.width, width);
    detail.width = std::min(detail.width, width);
    if (_style == TableViewCellStyle::Subtitle && _detailTextLabel) {
        double top = (b.height() - main.height - detail.height) / 2;
        if (_textLabel)
            _textLabel->setFrame({x, top, width, main.height});
        _detailTextLabel->setFrame({x, top + main.height, width, detail.height});
    } else if (_textLabel) {
        _textLabel->setFrame({x, 0, width, b.height()});
    }
}

} // namespace vq
