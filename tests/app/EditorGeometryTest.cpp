#include "EditorFixture.h"

#include "adnetwork/BannerView.h"
#include "graphics/Image.h"
#include "options/OptionsView.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"

#include <gtest/gtest.h>

using namespace vq;
using vq::test::Editor;

namespace {

struct Expected {
    DeviceProfile profile;
    double screenW, screenH;
    std::string suffix;
    Point info, send, title;
    double barFont, titleFont;
    Rect clear, random;
    Size message;
    double messageFont;
    Rect panel;
    Rect banner;
};

const Expected kVariants[] = {
    {DeviceProfile::Phone, 320, 480, "", {23, 23}, {292, 23}, {160, 23}, 19, 20,
     {0, 105, 51, 30}, {256, 105, 64, 30}, {150, 40}, 17, {0, 217, 320, 263}, {0, 430, 320, 50}},
    {DeviceProfile::Tall, 320, 568, "", {23, 23}, {292, 23}, {160, 23}, 19, 20,
     {0, 155, 51, 30}, {256, 155, 64, 30}, {150, 40}, 17, {0, 266, 320, 302}, {0, 518, 320, 50}},
    {DeviceProfile::Tablet, 768, 1024, "-ipad", {42, 23}, {718, 23}, {384, 23}, 23, 22,
     {0, 240, 102, 60}, {640, 240, 128, 60}, {215, 90}, 21, {0, 501, 768, 523}, {0, 934, 768, 90}},
};

std::string imageName(const std::shared_ptr<Image>& image) { return image ? image->name() : "(none)"; }

class EditorGeometry : public testing::TestWithParam<Expected> {};

} // namespace

TEST_P(EditorGeometry, BuildsTheScreenForTheDevice)
{
    const Expected& x = GetParam();
    Editor e(x.profile);
    auto& vc = e.vc();
    auto root = vc.view();
    EXPECT_EQ(root->frame(), (Rect{0, 0, x.screenW, x.screenH}));
    EXPECT_EQ(root->backgroundColor(), Color::whiteColor());

    // The top bar and its contents.
    auto bar = vc.navBar();
    EXPECT_EQ(bar->superview(), root);
    EXPECT_EQ(bar->frame(), (Rect{0, 0, x.screenW, 44}));
    EXPECT_TRUE(bar->isUserInteractionEnabled());
    EXPECT_EQ(imageName(bar->image()), "bar" + x.suffix);
    for (auto [button, title, centre] : {std::tuple{vc.infoButton(), "Info", x.info}, std::tuple{vc.sendButton(), "Send", x.send}}) {
        SCOPED_TRACE(title);
        EXPECT_EQ(button->superview(), bar);
        EXPECT_EQ(button->titleForState(ControlState::Normal), std::optional<std::string>(title));
        EXPECT_EQ(button->center(), centre);
        EXPECT_EQ(button->titleFont(), Font::systemFont(x.barFont));
        EXPECT_EQ(button->titleColorForState(ControlState::Normal), Color::rgb255(20, 96, 255));
        EXPECT_EQ(button->titleColorForState(ControlState::Highlighted), Color::rgb255(198, 222, 250));
        EXPECT_EQ(button->frame().size, button->sizeThatFits({}));
        EXPECT_GT(button->frame().width(), 0);
    }
    auto title = vc.titleView();
    EXPECT_EQ(title->superview(), bar);
    EXPECT_EQ(title->text(), "Velvet Quill");
    EXPECT_EQ(title->font(), Font::systemFont(x.titleFont));
    EXPECT_EQ(title->textColor(), Color::rgb255(121, 135, 144));
    EXPECT_EQ(title->center(), x.title);
    EXPECT_EQ(title->frame().size, title->sizeThatFits({}));

    // The message and its two buttons.
    EXPECT_EQ(vc.clearButton()->frame(), x.clear);
    EXPECT_EQ(vc.randomButton()->frame(), x.random);
    EXPECT_EQ(imageName(vc.clearButton()->imageForState(ControlState::Normal)), "clear" + x.suffix);
    EXPECT_EQ(imageName(vc.randomButton()->imageForState(ControlState::Normal)), "random" + x.suffix);
    auto& text = e.text();
    EXPECT_EQ(text.frame().size, x.message);
    EXPECT_EQ(text.center(), (Point{x.screenW / 2, x.random.midY()}));
    EXPECT_EQ(text.font(), Font::systemFont(x.messageFont));
    EXPECT_EQ(text.backgroundColor(), Color::rgb255(102, 255, 122));
    EXPECT_EQ(text.textColor(), Color::whiteColor());
    EXPECT_EQ(text.borderColor(), Color::lightGrayColor());
    EXPECT_EQ(text.borderWidth(), 1);
    EXPECT_EQ(text.cornerRadius(), 8);
    EXPECT_TRUE(text.clipsToBounds());
    EXPECT_TRUE(text.isScrollEnabled());
    EXPECT_FALSE(text.isSpellCheckingEnabled());
    EXPECT_EQ(text.text(), "");
    EXPECT_EQ(vc.previousText(), std::nullopt);
    EXPECT_EQ(vc.identify(), 0);

    auto texture = vc.textBgView();
    ASSERT_FALSE(text.subviews().empty());
    EXPECT_EQ(text.subviews().front(), texture);
    EXPECT_EQ(texture->frame(), (Rect{0, 0, x.message.width, x.message.width}));
    EXPECT_EQ(texture->image(), nullptr);

    // The panel along the bottom, the banner waiting off screen.
    auto panel = vc.optionsView();
    EXPECT_EQ(panel->superview(), root);
    EXPECT_EQ(panel->frame(), x.panel);
    EXPECT_EQ(panel->delegate().get(), static_cast<OptionsViewDelegate*>(&vc));
    auto banner = vc.bannerView();
    EXPECT_EQ(banner->superview(), nullptr);
    EXPECT_EQ(banner->frame(), x.banner);
    EXPECT_EQ(banner->backgroundColor(), Color::blackColor());
    EXPECT_EQ(banner->rootViewController().get(), static_cast<vq::ViewController*>(&vc));

    // Built in order: bar, clear, random, message, panel.
    std::vector<std::shared_ptr<View>> order{vc.navBar(), vc.clearButton(), vc.randomButton(), vc.textView(), panel};
    EXPECT_EQ(root->subviews(), order);
}

INSTANTIATE_TEST_SUITE_P(Devices, EditorGeometry, testing::ValuesIn(kVariants),
                         [](const auto& param) { return std::string(profileInfo(param.param.profile).name); });

TEST(EditorGeometryOldSystem, MessageDoesNotScrollBeforeSeven)
{
    Editor e(DeviceProfile::Phone, "6.1");
    EXPECT_FALSE(e.text().isScrollEnabled());
}

TEST(EditorGeometryNoModel, ADeviceWithoutAModelNameGetsTheTabletLayout)
{
    vq::test::Harness h(DeviceProfile::Phone);
    Device::current().setModel(std::nullopt);
    PromotionUnit::resetForTests();
    auto vc = app::ViewController::create();
    auto window = h.makeWindow(vc);
    EXPECT_EQ(vc->textView()->frame().size, (Size{215, 90}));
    EXPECT_EQ(vc->clearButton()->frame().size, (Size{102, 60}));
    EXPECT_EQ(vc->textView()->font(), Font::systemFont(21));
}
