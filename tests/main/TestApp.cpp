#include "main/TestApp.h"

#include "main/NamedScriptTargets.h"

#include "analytics/Analytics.h"
#include "core/Log.h"
#include "graphics/Screen.h"
#include "system/AlertView.h"
#include "system/Application.h"
#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/TableViewCell.h"
#include "ui/TextView.h"
#include "ui/Window.h"

#include <fmt/format.h>

namespace vq::test {

namespace {

constexpr const char* kAnalyticsKey = "TESTAPPKEY0123456789";

std::shared_ptr<Button> tappable(TestApp& app, Rect frame, int tag)
{
    auto button = Button::create(frame);
    button->setTag(tag);
    std::weak_ptr<TestApp> weak = app.shared_from_this();
    button->addAction(ControlEvent::TouchUpInside, [weak, tag] {
        if (auto a = weak.lock()) {
            a->tappedTags.push_back(tag);
            if (TestApp::onTap)
                TestApp::onTap(tag);
        }
    });
    return button;
}

} // namespace

bool TestApp::didFinishLaunching(Application&)
{
    log("test app launched");
    Analytics::startSession(kAnalyticsKey);
    window = Window::create(Screen::main().bounds());
    window->setBackgroundColor(Color::whiteColor());

    auto red = tappable(*this, {20, 20, 80, 40}, 10);
    red->setBackgroundColor(Color::rgb255(255, 0, 0));
    red->setTitle("Go", ControlState::Normal);
    window->addSubview(red);

    auto alerting = tappable(*this, {120, 20, 80, 40}, 11);
    std::weak_ptr<TestApp> weak = shared_from_this();
    alerting->addAction(ControlEvent::TouchUpInside, [weak] {
        auto alert = AlertView::create("Sure?", "Pick one", weak, std::string("No"), {"Yes", "Maybe"});
        alert->setTag(77);
        alert->show();
    });
    window->addSubview(alerting);

    auto label = Label::create(Rect{220, 20, 90, 40});
    label->setTag(7);
    label->setText("Hello");
    window->addSubview(label);

    auto scroll = ScrollView::create({0, 80, 160, 200});
    scroll->setTag(100);
    scroll->setClipsToBounds(true);
    scroll->setContentSize({160, 1000});
    for (int i = 1; i <= 20; ++i)
        scroll->addSubview(tappable(*this, {10, (i - 1) * 50.0 + 5, 100, 40}, i));
    auto hidden = tappable(*this, {10, 5, 100, 40}, 30);
    hidden->setHidden(true);
    scroll->addSubview(hidden);
    auto disabled = tappable(*this, {115, 5, 40, 40}, 31);
    disabled->setEnabled(false);
    scroll->addSubview(disabled);
    auto inert = View::create({115, 55, 40, 40});
    inert->setTag(32);
    inert->setUserInteractionEnabled(false);
    inert->addSubview(tappable(*this, {5, 5, 30, 30}, 33));
    scroll->addSubview(inert);
    window->addSubview(scroll);

    textView = TextView::create({170, 80, 140, 60});
    window->addSubview(textView);

    auto table = TableView::create({0, 290, 320, 176});
    table->setTag(200);
    table->setClipsToBounds(true);
    table->setDataSource(std::static_pointer_cast<TableViewDataSource>(shared_from_this()));
    table->setDelegate(std::static_pointer_cast<TableViewDelegate>(shared_from_this()));
    window->addSubview(table);

    window->makeKeyAndVisible();
    return true;
}

void TestApp::didBecomeActive(Application&) { Analytics::logEvent("became active"); }

void TestApp::didEnterBackground(Application&) { ++backgroundCount; }

std::shared_ptr<TableViewCell> TestApp::cellForRowAtIndexPath(TableView& table, const IndexPath& path)
{
    auto cell = table.dequeueReusableCellWithIdentifier("row");
    if (!cell)
        cell = TableViewCell::create(TableViewCellStyle::Default, "row");
    cell->textLabel()->setText(fmt::format("Row {}", path.row));
    return cell;
}

std::shared_ptr<ScriptTargets> testTargets(ApplicationDelegate& delegate)
{
    auto targets = NamedScriptTargets::create();
    auto* app = dynamic_cast<TestApp*>(&delegate);
    targets->add("message", [app]() -> std::shared_ptr<View> { return app->textView; });
    targets->add("send", [app]() -> std::shared_ptr<View> { return app->window->viewWithTag(10); });
    targets->add("info", []() -> std::shared_ptr<View> { return nullptr; });
    return targets;
}

} // namespace vq::test
