#include "main/ViewDump.h"

#include "core/Paths.h"
#include "core/RunLoop.h"
#include "graphics/Image.h"
#include "graphics/PictureLoader.h"
#include "promotion/WebImageView.h"
#include "support/Harness.h"
#include "support/ReadJson.h"
#include "ui/ActivityIndicator.h"
#include "ui/Button.h"
#include "ui/ProgressView.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include <gtest/gtest.h>

namespace vq::test {
namespace {

// The view of that tag, depth first.
const Json* findTag(const Json& view, int tag)
{
    if (view.at("tag") == tag)
        return &view;
    for (const auto& child : view.at("children"))
        if (auto* found = findTag(child, tag))
            return found;
    return nullptr;
}

TEST(ViewDumpAdditionsTest, ShowsDownloadsSpinnersProgressBackgroundPicturesAndScales)
{
    Harness harness;
    auto window = harness.makeWindow();

    ASSERT_FALSE(Paths::ensureDirectory(Paths::cacheDir()));
    auto png = Image::blank(4, 4, 1)->pngData();
    ASSERT_FALSE(writeFileAtomically(Paths::cacheDir() / "icon.png", std::string(png.begin(), png.end())));
    auto shown = WebImageView::create({0, 0, 40, 40});
    shown->setTag(1);
    shown->setLink("http://127.0.0.1:1/icons/icon.png");
    shown->startDownloading();
    // Decoded off the main thread.
    ASSERT_TRUE(RunLoop::main().runUntil([] { return PictureLoader::pendingCount() == 0; }, 20));
    auto waiting = WebImageView::create({0, 0, 40, 40});
    waiting->setTag(2);
    auto spinner = ActivityIndicator::create();
    spinner->setTag(3);
    spinner->startAnimating();
    auto progress = ProgressView::create();
    progress->setTag(4);
    progress->setProgress(0.25f);
    auto button = Button::create({0, 0, 10, 10});
    button->setTag(5);
    button->setBackgroundImage(Image::imageNamed("bar"), ControlState::Normal);
    button->setTransform(AffineTransform::makeScale(1.5, 0.5));
    for (const auto& v : std::vector<std::shared_ptr<View>>{shown, waiting, spinner, progress, button})
        window->rootViewController()->view()->addSubview(v);

    auto dump = parseJson(ViewDump::dumpWindows({window}));
    ASSERT_TRUE(dump);
    const Json& root = dump->at("windows").at(0);
    const Json* web = findTag(root, 1);
    ASSERT_TRUE(web);
    EXPECT_EQ(web->at("class"), "WebImageView");
    EXPECT_EQ(web->at("link"), "http://127.0.0.1:1/icons/icon.png");
    EXPECT_EQ(web->at("image"), "icon.png");
    EXPECT_EQ(web->at("children").at(0).at("animating"), false);
    EXPECT_TRUE(findTag(root, 2)->at("link").is_null());
    EXPECT_TRUE(findTag(root, 2)->at("image").is_null());
    EXPECT_EQ(findTag(root, 3)->at("animating"), true);
    EXPECT_EQ(findTag(root, 4)->at("progress"), 0.25);
    EXPECT_EQ(findTag(root, 5)->at("backgroundImage"), "bar");
    EXPECT_EQ(findTag(root, 5)->at("transform"), Json({1.5, 0.5}));
    EXPECT_FALSE(findTag(root, 4)->contains("transform")); // identity is left out
    button->setBackgroundImage(nullptr, ControlState::Normal);
    dump = parseJson(ViewDump::dumpWindows({window}));
    EXPECT_FALSE(findTag(dump->at("windows").at(0), 5)->contains("backgroundImage"));
}

} // namespace
} // namespace vq::test
