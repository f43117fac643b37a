#pragma once

#include "graphics/Font.h"
#include "ui/Control.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vq {

class Image;

// A custom-type button: per-state image, background image, title and title
// colour, each falling back to the normal state's when a state has none.
class Button : public Control {
public:
    static std::shared_ptr<Button> create(Rect frame = {});

    const char* className() const override { return "Button"; }

    void setTitle(std::optional<std::string> title, ControlState state);
    std::optional<std::string> titleForState(ControlState state) const;
    void setTitleColor(std::optional<Color> color, ControlState state);
    Color titleColorForState(ControlState state) const;
    void setImage(std::shared_ptr<Image> image, ControlState state);
    std::shared_ptr<Image> imageForState(ControlState state) const;
    void setBackgroundImage(std::shared_ptr<Image> image, ControlState state);
    std::shared_ptr<Image> backgroundImageForState(ControlState state) const;

    // What the button shows in its current state.
    std::optional<std::string> currentTitle() const { return titleForState(state()); }
    Color currentTitleColor() const { return titleColorForState(state()); }
    std::shared_ptr<Image> currentImage() const { return imageForState(state()); }
    std::shared_ptr<Image> currentBackgroundImage() const { return backgroundImageForState(state()); }

    const Font& titleFont() const;
    void setTitleFont(const Font& font);

    // Title beside the image (image first), or the background image's size
    // when there is neither.
    Size sizeThatFits(Size size) const override;
    void draw(GraphicsContext& context) override;

protected:
    Button();
    explicit Button(Rect frame);

private:
    // Only the states given a value: most buttons set one or none, and a
    // screen holds a couple of hundred of them.
    template<typename T>
    using PerState = std::vector<std::pair<ControlState, T>>;

    template<typename T>
    static void assign(PerState<T>& values, ControlState state, std::optional<T> value);
    // Where a lookup goes when the state has no value of its own.
    template<typename T>
    std::optional<T> lookup(const PerState<T>& values, ControlState state) const;
    Size titleSize() const;

    PerState<std::string> _titles;
    PerState<Color> _titleColors;
    PerState<std::shared_ptr<Image>> _images;
    PerState<std::shared_ptr<Image>> _backgroundImages;
    // Resolved on first use: most buttons set their own font or have no title,
    // and each new size of a face costs the font machinery a match.
    mutable std::optional<Font> _titleFont;
};

} // namespace vq
