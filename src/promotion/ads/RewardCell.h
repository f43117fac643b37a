#pragma once

#include "ui/TableViewCell.h"

#include <memory>
#include <string>

namespace vq {

class Button;
class ImageView;
class Label;
class WebImageView;

// One row of the reward wall: icon, name, description and a credits button
// with its caption. The wall fills the texts, the icon and the taps; the row
// only lays itself out and switches between its installed and plain looks.
class RewardCell : public TableViewCell {
public:
    static std::shared_ptr<RewardCell> create(TableViewCellStyle style, std::string reuseIdentifier);

    const char* className() const override { return "RewardCell"; }

    // The background picture and the selection highlight follow the row's size.
    void setFrame(Rect frame) override;

    // A download still running for the previous app would land its icon in
    // this row later: it is stopped, and the old icon goes.
    void prepareForReuse() override;

    bool installed() const { return _installed; }
    // Applies the look every time, so a reused row never keeps the old one.
    void setInstalled(bool installed);

    const std::shared_ptr<WebImageView>& appIcon() const { return _appIcon; }
    const std::shared_ptr<Label>& appName() const { return _appName; }
    const std::shared_ptr<Label>& appDetail() const { return _appDetail; }
    const std::shared_ptr<Button>& rewardPoint() const { return _rewardPoint; }
    const std::shared_ptr<Label>& rewardPointDescription() const { return _rewardPointDescription; }
    const std::shared_ptr<ImageView>& backgroundImageView() const { return _backgroundImageView; }

protected:
    RewardCell(TableViewCellStyle style, std::string reuseIdentifier);

private:
    void initViews();

    std::shared_ptr<WebImageView> _appIcon;
    std::shared_ptr<Label> _appName;
    std::shared_ptr<Label> _appDetail;
    std::shared_ptr<Button> _rewardPoint;
    std::shared_ptr<Label> _rewardPointDescription;
    std::shared_ptr<ImageView> _backgroundImageView;
    bool _installed = false;
};

} // namespace vq
