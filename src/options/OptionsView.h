#pragma once

#include "graphics/Color.h"
#include "graphics/Font.h"
#include "options/OptionsViewDelegate.h"
#include "system/DeviceVariant.h"
#include "ui/TableView.h"
#include "ui/View.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vq {

class Button;
class ImageView;
class ScrollView;
class TableViewCell;

// The panel under the message: four tabs over a text-colour board, a
// background-colour board, a texture grid and a font list. Picks go straight
// to the delegate; the panel keeps only the visible page and its marks.
class OptionsView : public View, public TableViewDataSource, public TableViewDelegate {
public:
    // View tags: pages, tabs (also the values of currentStatus), content views, marks.
    static constexpr int kTextColorViewTag = 1024;
    static constexpr int kBgColorViewTag = 1025;
    static constexpr int kTextureViewTag = 1026;
    static constexpr int kFontTableViewTag = 1027;
    static constexpr int kTextColorButtonTag = 2024;
    static constexpr int kBgColorButtonTag = 2025;
    static constexpr int kTextureButtonTag = 2026;
    static constexpr int kFontTableButtonTag = 2027;
    static constexpr int kColorContentTag = 3024;
    static constexpr int kSelectionMarkTag = 3025;
    static constexpr int kTextureContentTag = 3026;

    static constexpr const char* kOddRowIdentifier = "SimpleTableIdentifier";
    static constexpr const char* kEvenRowIdentifier = "SimpleTableIdentifier2";

    // Builds the whole panel with the platform's font list.
    static std::shared_ptr<OptionsView> create(Rect frame);
    // The same with a given font list (entry 0 stands for the system font).
    static std::shared_ptr<OptionsView> create(Rect frame, std::vector<std::string> fontArray);

    const char* className() const override { return "OptionsView"; }

    std::shared_ptr<OptionsViewDelegate> delegate() const { return _delegate.lock(); }
    void setDelegate(std::weak_ptr<OptionsViewDelegate> delegate) { _delegate = std::move(delegate); }

    std::shared_ptr<Button> textColorButton() const { return _textColorButton; }
    std::shared_ptr<Button> bgColorButton() const { return _bgColorButton; }
    std::shared_ptr<Button> textureButton() const { return _textureButton; }
    std::shared_ptr<Button> fontTableButton() const { return _fontTableButton; }
    std::shared_ptr<ScrollView> textColorView() const { return _textColorView; }
    std::shared_ptr<ScrollView> bgColorView() const { return _bgColorView; }
    std::shared_ptr<ScrollView> textureView() const { return _textureView; }
    std::shared_ptr<TableView> fontTableView() const { return _fontTableView; }
    // Tag of the active tab button, 2024..2027.
    int currentStatus() const { return _currentStatus; }
    // Listed from the installed faces when first asked for.
    const std::vector<std::string>& fontArray() const;
    // Replaces the font list and reloads the table (tests use a one-entry list).
    void setFontArrayForTests(std::vector<std::string> fontArray);

    // The variant the panel was laid out for.
    DeviceVariant variant() const { return _variant; }
    // 17 on phones, 21 on tablets: the list's and the handed-out size.
    double fontSize() const;

    // Building blocks of construction.
    void setupUI();
    std::shared_ptr<ScrollView> initialTextColorView();
    std::shared_ptr<ScrollView> initialBgColorView();
    std::shared_ptr<ScrollView> initialTextureView();
    std::shared_ptr<TableView> genFontView();
    void genFontName() const;
    void loadFontList();

    // Tab switch: resign to the delegate, then show the tab's page.
    void setHiddenAndShow(const View& tabButton);
    // A swatch of either colour board was picked.
    void selectColor(const View& swatch);
    // The swatch's palette colour by its tag; nullopt outside 1..66.
    std::optional<Color> getColor(const View& swatch) const;
    // A texture button of the grid was picked.
    void selectTexture(const View& textureButton);
    // The font a list row stands for: row 0 is the system font.
    std::optional<Font> fontForRow(int row) const;

    // Adds scroll room under every page for a banner of that height.
    void spareADSpace(double height);

    // A random text colour, font and background colour or texture.
    void random();
    // Uniform over from..to, both included.
    static int getRandomNumber(int from, int to);
    // nullptr restores the system's random source.
    static void setRandomSourceForTests(std::function<std::uint32_t()> source);
    // Random styles performed by this process so far.
    static int drawCounter();
    static void resetDrawCounterForTests();

    // Table data source and delegate of the font list.
    int numberOfSections(TableView& tableView) override;
    int numberOfRowsInSection(TableView& tableView, int section) override;
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& tableView, const IndexPath& indexPath) override;
    double heightForRowAtIndexPath(TableView& tableView, const IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(TableView& tableView, const IndexPath& indexPath) override;

    // Per-variant geometry, in points.
    struct Layout {
        std::string background;
        Size tabSize;
        double tabStep;       // x distance between tab centres
        double tabCenterY;
        Size cellSize;
        double spacing;
        Size markSize;
        double rowHeight;
        double fontSize;
        std::string imageSuffix;
    };
    static Layout layoutFor(DeviceVariant variant);
    const Layout& layout() const { return _layout; }

protected:
    explicit OptionsView(Rect frame);

private:
    void build(std::optional<std::vector<std::string>> fontArray);
    std::shared_ptr<ScrollView> genColorBoardView();
    std::shared_ptr<ScrollView> genTextureView();
    std::shared_ptr<ScrollView> makeBoard(int contentTag, int rows);
    std::shared_ptr<Button> makeTab(int index, int tag, const std::string& image);
    Rect boardFrame() const;
    Point cellCenter(int index) const;
    double contentHeight(int rows) const;
    // The mark inside the board or grid that holds the control.
    static std::shared_ptr<View> markBeside(const View& control);
    static std::shared_ptr<View> markIn(const std::shared_ptr<ScrollView>& page);
    static void showMark(const std::shared_ptr<View>& mark, Point center);
    void sendFontForRow(int row);

    DeviceVariant _variant;
    Layout _layout;
    std::weak_ptr<OptionsViewDelegate> _delegate;
    std::shared_ptr<Button> _textColorButton;
    std::shared_ptr<Button> _bgColorButton;
    std::shared_ptr<Button> _textureButton;
    std::shared_ptr<Button> _fontTableButton;
    std::shared_ptr<ScrollView> _textColorView;
    std::shared_ptr<ScrollView> _bgColorView;
    std::shared_ptr<ScrollView> _textureView;
    std::shared_ptr<TableView> _fontTableView;
    int _currentStatus = kTextColorButtonTag;
    mutable std::optional<std::vector<std::string>> _fontArray;
    bool _fontListLoaded = false;
};

} // namespace vq
