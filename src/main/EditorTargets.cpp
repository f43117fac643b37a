#include "main/EditorTargets.h"

#include "main/NamedScriptTargets.h"
#include "main/PromotionTargets.h"

#include "app/AppDelegate.h"
#include "app/ViewController.h"
#include "promotion/ads/WallAd.h"
#include "promotion/PromotionUnit.h"
#include "promotion/WebImageView.h"
#include "system/MessageComposer.h"
#include "system/StoreProductPage.h"
#include "ui/Button.h"
#include "ui/TextView.h"

namespace vq {

std::shared_ptr<ScriptTargets> editorTargets(ApplicationDelegate& delegate)
{
    auto targets = NamedScriptTargets::create();
    addPromotionTargets(*targets);
    auto* app = dynamic_cast<app::AppDelegate*>(&delegate);
    if (!app)
        return targets;
    auto editor = [app] { return app->viewController(); };
    targets->add("send", [editor]() -> std::shared_ptr<View> { return editor() ? editor()->sendButton() : nullptr; });
    targets->add("info", [editor]() -> std::shared_ptr<View> { return editor() ? editor()->infoButton() : nullptr; });
    targets->add("clear", [editor]() -> std::shared_ptr<View> { return editor() ? editor()->clearButton() : nullptr; });
    targets->add("random", [editor]() -> std::shared_ptr<View> { return editor() ? editor()->randomButton() : nullptr; });
    targets->add("message", [editor]() -> std::shared_ptr<View> { return editor() ? editor()->textView() : nullptr; });
    auto composer = [editor]() -> std::shared_ptr<MessageComposer> {
        auto vc = editor();
        return vc ? std::dynamic_pointer_cast<MessageComposer>(vc->presentedViewController()) : nullptr;
    };
    targets->add("composer-send", [composer]() -> std::shared_ptr<View> {
        auto c = composer();
        return c ? c->sendButton() : nullptr;
    });
    targets->add("composer-cancel", [composer]() -> std::shared_ptr<View> {
        auto c = composer();
        return c ? c->cancelButton() : nullptr;
    });
    // The store page may sit on anything presented over the editor.
    targets->add("store-done", [editor]() -> std::shared_ptr<View> {
        for (auto vc = editor() ? editor()->presentedViewController() : nullptr; vc; vc = vc->presentedViewController())
            if (auto page = std::dynamic_pointer_cast<StoreProductPage>(vc))
                return page->doneButton();
        return nullptr;
    });
    // The wall's featured app; its grid cells are "tag K in" the overlay's root.
    targets->add("ad-icon", []() -> std::shared_ptr<View> {
        auto unit = PromotionUnit::currentInstance();
        auto wall = unit ? std::dynamic_pointer_cast<WallAd>(unit->lastAd()) : nullptr;
        return wall ? wall->appIcon() : nullptr;
    });
    return targets;
}

} // namespace vq
