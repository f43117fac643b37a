#pragma once

#include "graphics/Color.h"
#include "graphics/Font.h"

#include <string>

namespace vq {

// What the options panel reports to the editor. Every pick, manual or
// random, arrives through these.
class OptionsViewDelegate {
public:
    virtual ~OptionsViewDelegate() = default;
    virtual void changeTextColor(const Color& color) = 0;
    virtual void changeBgColor(const Color& color) = 0;
    // The texture's image name: its number as decimal text.
    virtual void changeTextureView(const std::string& name) = 0;
    virtual void changeFont(const Font& font) = 0;
    // A tab was opened: the editor ends text entry.
    virtual void resign() = 0;
};

} // namespace vq
