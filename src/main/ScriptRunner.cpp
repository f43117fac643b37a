#include "main/ScriptRunner.h"

#include "main/NetworkActivity.h"
#include "main/ScreenGeometry.h"
#include "main/ScriptTargets.h"
#include "main/ViewDump.h"

#include "core/Durability.h"
#include "core/RunLoop.h"
#include "graphics/Image.h"
#include "graphics/Screen.h"
#include "promotion/ads/RewardCell.h"
#include "system/AlertView.h"
#include "system/Application.h"
#include "ui/Button.h"
#include "ui/Renderer.h"
#include "ui/Responder.h"
#include "ui/ScrollView.h"
#include "ui/TableView.h"
#include "ui/TableViewCell.h"
#include "ui/Window.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <system_error>

namespace vq {

namespace sg = screen_geometry;

namespace {

// Keeps drags clear of the scroll view's edges.
constexpr double kDragMargin = 4;
constexpr int kDragSteps = 10;
// A target further away than this many drags is given up on.
constexpr int kMaxDrags = 100;

// Why a tap on the view would not reach it although it is on screen: it, or
// a view it sits in, is a disabled control, or it takes touches but sits in
// a view that does not. A view that takes no touches itself (a label, a
// picture) is not asked: a finger on it reaches what is behind, as it should.
std::optional<std::string> whyTouchesPassOver(const View& view)
{
    if (!view.isEnabledForTouches())
        return std::string("is disabled");
    for (auto ancestor = view.superview(); ancestor; ancestor = ancestor->superview())
        if (!ancestor->isEnabledForTouches())
            return fmt::format("is inside a disabled {} (tag {})", ancestor->className(), ancestor->tag());
    if (!view.isUserInteractionEnabled())
        return std::nullopt;
    for (auto ancestor = view.superview(); ancestor; ancestor = ancestor->superview())
        if (!ancestor->isUserInteractionEnabled())
            return fmt::format("is inside a {} (tag {}) that does not take touches", ancestor->className(),
                               ancestor->tag());
    return std::nullopt;
}

std::string describe(const ScriptTarget& target)
{
    switch (target.kind) {
    case ScriptTarget::Kind::Named: return target.name;
    case ScriptTarget::Kind::Tag: return fmt::format("tag {}", target.tag);
    case ScriptTarget::Kind::TagIn: return fmt::format("tag {} in {}", target.tag, target.container);
    case ScriptTarget::Kind::RowIn: return fmt::format("row {} in {}", target.tag, target.container);
    case ScriptTarget::Kind::CreditsIn: return fmt::format("credits {} in {}", target.tag, target.container);
    }
    return {};
}

// Depth-first, the view itself first, skipping what is hidden.
std::shared_ptr<View> findShown(const std::shared_ptr<View>& view, int tag)
{
    if (view->isHidden() || view->alpha() < 0.01f)
        return nullptr;
    if (view->tag() == tag)
        return view;
    for (const auto& child : view->subviews())
        if (auto found = findShown(child, tag))
            return found;
    return nullptr;
}

std::shared_ptr<View> findOnScreen(int tag)
{
    for (const auto& window : Application::shared().windowsFrontToBack())
        if (auto found = findShown(window, tag))
            return found;
    return nullptr;
}

std::shared_ptr<View> findInside(const std::shared_ptr<View>& container, int tag)
{
    for (const auto& child : container->subviews())
        if (auto found = findShown(child, tag))
            return found;
    return nullptr;
}

// A shown scroll view inside the view whose content is built as it scrolls,
// and where the subview with that tag is in it.
std::optional<std::pair<std::shared_ptr<ScrollView>, Rect>> builtOnScroll(const std::shared_ptr<View>& view, int tag)
{
    if (view->isHidden() || view->alpha() < 0.01f)
        return std::nullopt;
    if (auto scrollView = std::dynamic_pointer_cast<ScrollView>(view))
        if (auto delegate = scrollView->delegate())
            if (auto rect = delegate->rectForSubviewWithTag(*scrollView, tag))
                return std::pair(scrollView, *rect);
    for (const auto& child : view->subviews())
        if (auto found = builtOnScroll(child, tag))
            return found;
    return std::nullopt;
}

bool touchReaches(Point p, const View& scrollView)
{
    auto hit = sg::hitTest(p);
    return hit && (hit.get() == &scrollView || hit->isDescendantOf(scrollView));
}

// The part of area where a touch lands in the scroll view, along the lines
// through area's centre: tab buttons and the like may lie over its edges.
Rect touchableArea(const View& scrollView, Rect area)
{
    Point c = area.center();
    auto firstReached = [&](double from, double to, double step, auto point) -> std::optional<double> {
        for (double v = from; step > 0 ? v <= to : v >= to; v += step)
            if (touchReaches(point(v), scrollView))
                return v;
        return std::nullopt;
    };
    auto atY = [&](double y) { return Point{c.x, y}; };
    auto atX = [&](double x) { return Point{x, c.y}; };
    auto top = firstReached(area.minY() + 0.5, area.maxY() - 0.5, 1, atY);
    auto bottom = firstReached(area.maxY() - 0.5, area.minY() + 0.5, -1, atY);
    auto left = firstReached(area.minX() + 0.5, area.maxX() - 0.5, 1, atX);
    auto right = firstReached(area.maxX() - 0.5, area.minX() + 0.5, -1, atX);
    if (!top || !bottom || !left || !right)
        return {};
    return {*left - 0.5, *top - 0.5, *right - *left + 1, *bottom - *top + 1};
}

// The rect, grown by what covers the scroll view's edges on screen (a banner
// over the bottom, say), so that showing it shows the rect itself uncovered.
Rect clearOfCovers(const ScrollView& scrollView, Rect inContent)
{
    Rect visible = sg::visibleScreenRect(scrollView);
    Rect clear = visible.isEmpty() ? visible : touchableArea(scrollView, visible);
    if (clear.isEmpty())
        return inContent;
    double left = clear.minX() - visible.minX(), right = visible.maxX() - clear.maxX();
    double top = clear.minY() - visible.minY(), bottom = visible.maxY() - clear.maxY();
    return {inContent.x() - left, inContent.y() - top, inContent.width() + left + right,
            inContent.height() + top + bottom};
}

void moveTouch(Point from, Point to)
{
    for (int i = 1; i <= kDragSteps; ++i) {
        double t = static_cast<double>(i) / kDragSteps;
        Application::shared().sendTouch({lerp(from.x, to.x, t), lerp(from.y, to.y, t)}, Touch::Phase::Moved);
    }
}

std::optional<std::string> createParent(const std::filesystem::path& path)
{
    if (!path.has_parent_path())
        return std::nullopt;
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    if (ec)
        return fmt::format("cannot create {}: {}", path.parent_path().string(), ec.message());
    return std::nullopt;
}

} // namespace

ScriptRunner::ScriptRunner(std::shared_ptr<ScriptTargets> targets, std::string scriptName, std::ostream& errors)
    : _targets(std::move(targets)), _scriptName(std::move(scriptName)), _errors(errors)
{
}

int ScriptRunner::run(const std::vector<ScriptCommand>& commands)
{
    settle();
    for (const auto& command : commands)
        if (runCommand(command) != 0)
            return kFailed;
    return 0;
}

int ScriptRunner::runCommand(const ScriptCommand& command)
{
    if (auto error = execute(command)) {
        _errors << _scriptName << ":" << command.line << ": " << *error << "\n";
        return kFailed;
    }
    settle();
    return 0;
}

void ScriptRunner::settle()
{
    auto& loop = RunLoop::main();
    loop.runPending();
    loop.advance(0);
}

std::optional<std::string> ScriptRunner::settleNetwork()
{
    using Clock = std::chrono::steady_clock;
    auto& loop = RunLoop::main();
    auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(settleLimitSeconds));
    for (;;) {
        settle();
        // A callback may start the next request: quiet only when it stays so after a round.
        if (!networkBusy()) {
            settle();
            if (!networkBusy())
                return std::nullopt;
        }
        if (Clock::now() >= deadline)
            return std::string("network did not settle");
        loop.runOnce(0.05);
    }
}

std::optional<std::string> ScriptRunner::execute(const ScriptCommand& command)
{
    auto& app = Application::shared();
    using Kind = ScriptCommand::Kind;
    switch (command.kind) {
    case Kind::TapPoint:
        app.tapAt(command.from);
        return std::nullopt;
    case Kind::TapTarget:
        return tapTarget(command.target);
    case Kind::Drag:
        app.dragFrom(command.from, command.to, kDragSteps);
        return std::nullopt;
    case Kind::Type:
        if (auto error = needsFocus())
            return error;
        app.typeText(command.text);
        return std::nullopt;
    case Kind::Paste:
        if (auto error = needsFocus())
            return error;
        app.pasteText(command.text);
        return std::nullopt;
    case Kind::Key:
        if (auto error = needsFocus())
            return error;
        if (command.text == "return")
            app.typeText("\n");
        else
            app.pressBackspace();
        return std::nullopt;
    case Kind::Alert:
        return tapAlertButton(command.index);
    case Kind::Wait:
        RunLoop::main().advance(command.seconds);
        return std::nullopt;
    case Kind::Settle:
        return settleNetwork();
    case Kind::Background:
        app.enterBackground();
        return std::nullopt;
    case Kind::Foreground:
        app.enterForeground();
        return std::nullopt;
    case Kind::Screenshot: {
        std::filesystem::path path(command.text);
        if (auto error = createParent(path))
            return error;
        auto image = renderWindows(sg::windowsBackToFront(), Screen::main().bounds().size, Screen::main().scale());
        if (!image)
            return std::string("the screen could not be rendered");
        return image->writePng(path, Durability::OverOldOnly);
    }
    case Kind::Dump:
        return ViewDump::writeWindows(command.text);
    }
    return std::nullopt;
}

std::optional<std::string> ScriptRunner::needsFocus() const
{
    if (!Responder::firstResponder())
        return std::string("nothing has the keyboard focus (tap the text first)");
    return std::nullopt;
}

ScriptRunner::Found ScriptRunner::resolve(const ScriptTarget& target)
{
    std::string what = describe(target);
    switch (target.kind) {
    case ScriptTarget::Kind::Named: {
        if (!_targets || !_targets->isAvailable(target.name))
            return fmt::format("the target {} is not available yet", target.name);
        if (auto view = _targets->find(target.name))
            return view;
        return fmt::format("{} was not found", what);
    }
    case ScriptTarget::Kind::Tag:
        if (auto view = findOnScreen(target.tag))
            return view;
        return fmt::format("no view with tag {} is on screen", target.tag);
    case ScriptTarget::Kind::TagIn:
    case ScriptTarget::Kind::RowIn:
    case ScriptTarget::Kind::CreditsIn: {
        auto container = findOnScreen(target.container);
        if (!container)
            return fmt::format("no view with tag {} is on screen", target.container);
        if (target.kind != ScriptTarget::Kind::TagIn)
            return container;
        if (auto view = findInside(container, target.tag))
            return view;
        // Not built until its part of a scroll view comes into view: scroll there, as a user would.
        if (auto place = builtOnScroll(container, target.tag)) {
            auto& [scrollView, rect] = *place;
            if (auto error = dragScroll(*scrollView, scrollView->offsetShowing(clearOfCovers(*scrollView, rect)), what))
                return *error;
            if (auto view = findInside(container, target.tag))
                return view;
        }
        return fmt::format("no view with tag {} is shown inside the view tagged {}", target.tag, target.container);
    }
    }
    return what;
}

std::optional<std::string> ScriptRunner::tapTarget(const ScriptTarget& target)
{
    std::string what = describe(target);
    auto found = resolve(target);
    if (auto* error = std::get_if<std::string>(&found))
        return *error;
    auto view = std::get<std::shared_ptr<View>>(found);

    if (target.kind == ScriptTarget::Kind::RowIn || target.kind == ScriptTarget::Kind::CreditsIn) {
        auto table = std::dynamic_pointer_cast<TableView>(view);
        if (!table)
            return fmt::format("the view tagged {} is a {}, not a table", target.container, view->className());
        IndexPath row{0, target.tag};
        if (target.tag < 0 || target.tag >= table->numberOfRowsInSection(0))
            return fmt::format("the table tagged {} has no row {}", target.container, target.tag);
        if (auto error = dragScroll(*table, table->offsetShowing(clearOfCovers(*table, table->rectForRowAtIndexPath(row))),
                                    what))
            return error;
        auto cell = table->cellForRowAtIndexPath(row);
        if (!cell)
            return fmt::format("{} has no cell on screen", what);
        view = cell;
        if (target.kind == ScriptTarget::Kind::CreditsIn) {
            auto reward = std::dynamic_pointer_cast<RewardCell>(cell);
            if (!reward)
                return fmt::format("row {} in {} has no credits button", target.tag, target.container);
            view = reward->rewardPoint();
        }
    }
    if (auto error = bringIntoView(*view, view->bounds(), what))
        return error;
    if (target.kind == ScriptTarget::Kind::Named && _targets)
        if (auto point = _targets->tapPoint(target.name))
            return tapAt(view, *point, what);
    return tapVisible(view, what);
}

std::optional<std::string> ScriptRunner::bringIntoView(View& view, const Rect& rect, const std::string& what)
{
    for (auto ancestor = view.superview(); ancestor; ancestor = ancestor->superview()) {
        auto scrollView = std::dynamic_pointer_cast<ScrollView>(ancestor);
        if (!scrollView)
            continue;
        Rect inContent = clearOfCovers(*scrollView, view.convertRectTo(rect, scrollView.get()));
        if (auto error = dragScroll(*scrollView, scrollView->offsetShowing(inContent), what))
            return error;
    }
    return std::nullopt;
}

std::optional<std::string> ScriptRunner::dragScroll(ScrollView& scrollView, Point targetOffset, const std::string& what)
{
    auto& app = Application::shared();
    for (int i = 0; i < kMaxDrags; ++i) {
        Point offset = scrollView.contentOffset();
        Point remaining{targetOffset.x - offset.x, targetOffset.y - offset.y};
        if (std::abs(remaining.x) < 0.5 && std::abs(remaining.y) < 0.5)
            return std::nullopt;
        Rect area = sg::visibleScreenRect(scrollView);
        if (area.isEmpty())
            return fmt::format("{} is inside a scroll view that is not on screen", what);
        if (!scrollView.isScrollEnabled())
            return fmt::format("{} is out of view in a scroll view that does not scroll", what);
        // A drag must start on the scroll view itself, not on what overlaps it.
        area = touchableArea(scrollView, area);
        if (area.isEmpty())
            return fmt::format("{} is inside a scroll view that is covered where a drag would start", what);

        // The finger moves against the content: start at the edge it moves away from.
        Point start, end;
        auto axis = [](double need, double lo, double hi, double& from, double& to) {
            double span = std::max(0.0, hi - lo - 2 * kDragMargin);
            double move = std::clamp(-need, -span, span);
            from = move < 0 ? hi - kDragMargin : lo + kDragMargin;
            to = from + move;
        };
        axis(remaining.x, area.minX(), area.maxX(), start.x, end.x);
        axis(remaining.y, area.minY(), area.maxY(), start.y, end.y);
        double distance = std::hypot(end.x - start.x, end.y - start.y);
        if (distance < 0.5)
            return fmt::format("{} cannot be scrolled into view: its scroll view is too small to drag", what);

        app.sendTouch(start, Touch::Phase::Began);
        // A short move would stay a tap: go past the drag threshold first, then back.
        if (distance <= ScrollView::kDragThreshold + 1) {
            double reach = (ScrollView::kDragThreshold + 2) / distance;
            Point past{start.x + (end.x - start.x) * reach, start.y + (end.y - start.y) * reach};
            moveTouch(start, past);
            moveTouch(past, end);
        } else {
            moveTouch(start, end);
        }
        app.sendTouch(end, Touch::Phase::Ended);
        settle();

        Point after = scrollView.contentOffset();
        if (std::abs(after.x - offset.x) < 0.01 && std::abs(after.y - offset.y) < 0.01)
            return fmt::format("{} cannot be scrolled into view: dragging its scroll view does not move it", what);
    }
    return fmt::format("{} is too far away to scroll into view", what);
}

std::optional<std::string> ScriptRunner::tapVisible(const std::shared_ptr<View>& view, const std::string& what)
{
    Rect visible = sg::visibleScreenRect(*view);
    if (visible.isEmpty())
        return fmt::format("{} is not visible", what);
    return tapAt(view, visible.center(), what);
}

std::optional<std::string> ScriptRunner::tapAt(const std::shared_ptr<View>& view, Point p, const std::string& what)
{
    auto hit = sg::hitTest(p);
    bool hitInside = hit && (hit == view || hit->isDescendantOf(*view));
    // Hit testing then passes over the target to whatever lies behind it, a
    // view it sits in as likely as not: name the cause, not what was hit.
    if (!hitInside)
        if (auto why = whyTouchesPassOver(*view))
            return fmt::format("{} {}", what, *why);
    bool reaches = hitInside || (hit && view->isDescendantOf(*hit));
    if (!reaches) {
        if (!hit)
            return fmt::format("{} does not take touches", what);
        return fmt::format("{} is covered by a {} (tag {})", what, hit->className(), hit->tag());
    }
    Application::shared().tapAt(p);
    return std::nullopt;
}

std::optional<std::string> ScriptRunner::tapAlertButton(int index)
{
    auto alerts = AlertView::visibleAlerts();
    if (alerts.empty())
        return std::string("no alert is on screen");
    auto alert = alerts.back();
    if (index >= alert->numberOfButtons())
        return fmt::format("the alert has {} button{}; there is no button {}", alert->numberOfButtons(),
                           alert->numberOfButtons() == 1 ? "" : "s", index);
    auto window = alert->window();
    if (!window)
        return std::string("the alert is not in a window");
    Rect inWindow = alert->convertRectTo(alert->buttonFrame(index), nullptr);
    Application::shared().tapAt(window->pointToSuperview(inWindow.center()));
    return std::nullopt;
}

} // namespace vq
