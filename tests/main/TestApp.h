#pragma once

#include "main/ScriptTargets.h"

#include "system/AlertViewDelegate.h"
#include "system/ApplicationDelegate.h"
#include "ui/TableView.h"

#include <functional>
#include <memory>
#include <vector>

namespace vq {
class TextView;
class Window;
} // namespace vq

namespace vq::test {

// A small app for driving the hosts: on a phone screen, a red button (tag 10)
// and one that shows an alert (tag 11); a scroll view (tag 100, 200 points
// tall) of 20 buttons tagged 1..20, 50 points apart, with a hidden button
// tagged 30; a text view; a table (tag 200) of 30 rows. Its launch writes a
// log line and starts an analytics session; each activation logs an event.
class TestApp : public ApplicationDelegate,
                public AlertViewDelegate,
                public TableViewDataSource,
                public TableViewDelegate,
                public std::enable_shared_from_this<TestApp> {
public:
    bool didFinishLaunching(Application&) override;
    void didBecomeActive(Application&) override;
    void didEnterBackground(Application&) override;

    void alertViewClickedButtonAtIndex(AlertView&, int index) override { clickedAlertButtons.push_back(index); }

    int numberOfRowsInSection(TableView&, int) override { return 30; }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& table, const IndexPath& path) override;
    void didSelectRowAtIndexPath(TableView&, const IndexPath& path) override { selectedRows.push_back(path.row); }

    std::shared_ptr<Window> window;
    std::shared_ptr<TextView> textView;
    std::vector<int> tappedTags;
    std::vector<int> clickedAlertButtons;
    std::vector<int> selectedRows;
    int backgroundCount = 0;
    // Called after each tap on a tagged button (network tests start requests from it).
    static inline std::function<void(int tag)> onTap;
};

// "message" is the text view, "send" the red button; "info" stands for a
// part that is registered but gone.
std::shared_ptr<ScriptTargets> testTargets(ApplicationDelegate& delegate);

} // namespace vq::test
