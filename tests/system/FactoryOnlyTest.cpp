// Views and controllers can only be made by their create(): self() needs a
// shared owner, and a view on the stack or in a plain unique_ptr has none.
#include "system/AlertView.h"
#include "system/MessageComposer.h"
#include "system/StoreProductPage.h"
#include "ui/ActivityIndicator.h"
#include "ui/Button.h"
#include "ui/Control.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/ProgressView.h"
#include "ui/ScrollView.h"
#include "ui/TableView.h"
#include "ui/TableViewCell.h"
#include "ui/TextView.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include <gtest/gtest.h>

#include <type_traits>

using namespace vq;

static_assert(!std::is_constructible_v<View> && !std::is_constructible_v<View, Rect>);
static_assert(!std::is_constructible_v<Control> && !std::is_constructible_v<Control, Rect>);
static_assert(!std::is_constructible_v<Label> && !std::is_constructible_v<Label, Rect>);
static_assert(!std::is_constructible_v<Button> && !std::is_constructible_v<Button, Rect>);
static_assert(!std::is_constructible_v<ImageView> && !std::is_constructible_v<ImageView, std::shared_ptr<Image>>);
static_assert(!std::is_constructible_v<ScrollView, Rect> && !std::is_constructible_v<TextView, Rect>);
static_assert(!std::is_constructible_v<TableView, Rect, TableViewStyle>);
static_assert(!std::is_constructible_v<TableViewCell, TableViewCellStyle, std::string>);
static_assert(!std::is_constructible_v<Window, Rect> && !std::is_constructible_v<AlertView>);
static_assert(!std::is_constructible_v<ProgressView> && !std::is_constructible_v<ActivityIndicator>);
static_assert(!std::is_constructible_v<ViewController> && !std::is_constructible_v<MessageComposer>);
static_assert(!std::is_constructible_v<StoreProductPage>);

TEST(FactoryOnly, WhatCreateMakesKnowsItsOwner)
{
    auto view = View::create(Rect{1, 2, 3, 4});
    EXPECT_EQ(view->self(), view);
    EXPECT_EQ(view->frame(), (Rect{1, 2, 3, 4}));
    auto controller = ViewController::create();
    EXPECT_EQ(controller->self(), controller);
    auto image = ImageView::create(Rect{0, 0, 5, 5});
    EXPECT_EQ(image->self(), std::static_pointer_cast<View>(image));
}
