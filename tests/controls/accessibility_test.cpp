// What assistive tools and keyboard users see of the skin controls.
#include "controls/candybutton.h"
#include "controls/caption.h"
#include "controls/progressbar.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <gtest/gtest.h>

using namespace controls;

TEST(SkinAccessibility, RolesNamesAndTheBarsValue)
{
    QWidget window;
    CandyButton button(&window);
    button.setCaption(QStringLiteral("검색"));
    Caption label(&window, QStringLiteral("capTime"));
    label.setCaption(QStringLiteral("기준의 자료입니다."));
    ProgressBar bar(&window);
    bar.setMax(200);
    bar.setValue(50);
    window.show();

    QAccessibleInterface *b = QAccessible::queryAccessibleInterface(&button);
    QAccessibleInterface *l = QAccessible::queryAccessibleInterface(&label);
    QAccessibleInterface *p = QAccessible::queryAccessibleInterface(&bar);
    ASSERT_TRUE(b && l && p);
    EXPECT_EQ(b->role(), QAccessible::Button);
    EXPECT_EQ(b->text(QAccessible::Name), QStringLiteral("검색"));
    EXPECT_EQ(l->role(), QAccessible::StaticText);
    EXPECT_EQ(l->text(QAccessible::Name), QStringLiteral("기준의 자료입니다."));
    EXPECT_EQ(p->role(), QAccessible::ProgressBar);
    ASSERT_TRUE(p->valueInterface());
    EXPECT_EQ(p->valueInterface()->currentValue().toInt(), 50);
    EXPECT_EQ(p->valueInterface()->maximumValue().toInt(), 200);
    EXPECT_EQ(p->text(QAccessible::Value), QStringLiteral("25 %"));
}

TEST(SkinAccessibility, TheFocusedButtonIsMarked)
{
    QWidget window;
    CandyButton button(&window);
    button.setGeometry(10, 10, 97, 41);
    button.setStyle(3);
    QWidget other(&window);
    other.setFocusPolicy(Qt::StrongFocus);
    window.show();
    QApplication::setActiveWindow(&window);
    other.setFocus();
    const QImage resting = button.grab().toImage();
    button.setFocus();
    ASSERT_TRUE(button.hasFocus());
    const QImage focused = button.grab().toImage();
    EXPECT_NE(resting, focused);
    other.setFocus();
    EXPECT_EQ(button.grab().toImage(), resting);
}
