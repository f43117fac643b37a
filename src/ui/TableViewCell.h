#pragma once

#include "ui/View.h"

#include <memory>
#include <string>

namespace vq {

class ImageView;
class Label;

enum class TableViewCellStyle { Default, Subtitle };
enum class TableViewCellSelectionStyle { None, Blue, Gray };

// One row of a table: a content view holding an optional image and a main
// label, with a detail label under it in the subtitle style.
class TableViewCell : public View {
public:
    static constexpr double kMargin = 15;

    static std::shared_ptr<TableViewCell> create(TableViewCellStyle style, std::string reuseIdentifier);

    const char* className() const override { return "TableViewCell"; }

    TableViewCellStyle style() const { return _style; }
    const std::string& reuseIdentifier() const { return _reuseIdentifier; }

    // Created on first use, inside the content view.
    std::shared_ptr<View> contentView();
    std::shared_ptr<Label> textLabel();
    // nullptr in the default style.
    std::shared_ptr<Label> detailTextLabel();
    std::shared_ptr<ImageView> imageView();

    TableViewCellSelectionStyle selectionStyle() const { return _selectionStyle; }
    void setSelectionStyle(TableViewCellSelectionStyle style);
    bool isSelected() const { return _selected; }
    virtual void setSelected(bool selected, bool animated);
    bool isHighlighted() const { return _highlighted; }
    virtual void setHighlighted(bool highlighted, bool animated);
    // Shown behind the content while selected or highlighted; nullptr means
    // the selection style's own (none for None).
    std::shared_ptr<View> selectedBackgroundView() const { return _selectedBackgroundView; }
    void setSelectedBackgroundView(std::shared_ptr<View> view);
    std::shared_ptr<View> backgroundView() const { return _backgroundView; }
    void setBackgroundView(std::shared_ptr<View> view);

    // Called by the table when the cell is dequeued; clears selection and highlight.
    virtual void prepareForReuse();

    void layoutSubviews() override;

protected:
    explicit TableViewCell(TableViewCellStyle style = TableViewCellStyle::Default, std::string reuseIdentifier = {});

private:
    void updateSelectionBackground();

    TableViewCellStyle _style;
    std::string _reuseIdentifier;
    TableViewCellSelectionStyle _selectionStyle = TableViewCellSelectionStyle::Blue;
    bool _selected = false;
    bool _highlighted = false;
    std::shared_ptr<View> _contentView;
    std::shared_ptr<Label> _textLabel;
    std::shared_ptr<Label> _detailTextLabel;
    std::shared_ptr<ImageView> _imageView;
    std::shared_ptr<View> _selectedBackgroundView;
    std::shared_ptr<View> _defaultSelectedBackground;
    std::shared_ptr<View> _backgroundView;
};

} // namespace vq
