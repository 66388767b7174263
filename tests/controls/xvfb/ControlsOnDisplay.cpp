// The three skinned controls on a real (virtual) X display: the pointer is moved by the X
// server, clicks go through the window system, and a screenshot of the window is kept in the
// test output folder (RT_TEST_OUTPUT_DIR).
#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>

#include <cstdlib>

#include "ControlFixtures.h"
#include "controls/THVList.h"
#include "controls/THVPanel.h"
#include "controls/THVSlider.h"
#include "platform/drawing/TFont.h"
#include "platform/ui/TPanel.h"

using namespace fixtures;

namespace {

QPoint Global(TControl& control, int x, int y)
{
    const POINT p = control.ClientToScreen(POINT{x, y});
    return QPoint(p.x, p.y);
}

QColor ColorAt(const QImage& image, TControl& control, TControl& form, int x, int y)
{
    const POINT origin = form.ScreenToClient(control.ClientToScreen(POINT{x, y}));
    return image.pixelColor(origin.x, origin.y);
}

class OnDisplayTest : public ControlTest {};

TEST_F(OnDisplayTest, PointerClicksAndScreenshot)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));

    TPanel form(nullptr);
    form.SetBounds(40, 40, 320, 200);
    form.SetColor(clSilver);
    form.SetBevelOuter(bvNone);

    THVPanel button(&form);
    button.SetParent(&form);
    button.SetBounds(10, 10, 80, 30);
    button.SetPicOnIdle(Solid("idle.png", 80, 30, 0xFFC00000));
    button.SetPicOnMouseMove(Solid("move.png", 80, 30, 0xFF00C000));
    button.SetPicOnMouseDown(Solid("down.png", 80, 30, 0xFF0000C0));
    TFont font;
    font.SetName("Arial");
    font.SetHeight(-14);
    font.SetColor(clWhite);
    button.SetFontOnIdle(&font);
    button.SetText("Play");

    THVSlider slider(&form);
    slider.SetParent(&form);
    slider.SetBounds(10, 60, 200, 20);
    slider.SetHorizontal(true);
    slider.SetPicSliderIdle(Solid("thumb.png", 10, 20, 0xFFFFFFFF));
    slider.SetPicSliderMouseDown(Solid("held.png", 10, 20, 0xFFFFFF00));
    slider.SetPicBackgroundIdle(Solid("track.png", 20, 20, 0xFF404040));
    slider.SetPicBackgroundMouseMove(Solid("trackmove.png", 20, 20, 0xFF606060));

    THVList list(&form);
    list.SetParent(&form);
    list.SetLeft(10);
    list.SetTop(100);
    list.SetFontOnIdle(&font);
    list.SetPicOnIdle(Solid("cell.png", 120, 20, 0xFF303080));
    list.SetPicOnMouseMove(Solid("cellmove.png", 120, 20, 0xFF5050C0));
    list.SetPicOnMouseDown(Solid("celldown.png", 120, 20, 0xFF8080FF));
    list.SetPicOnSelected(Solid("cellselected.png", 120, 20, 0xFFC08000));
    list.Items()->Add("Easy");
    list.Items()->Add("Medium");
    list.Items()->Add("Hard");
    int changes = 0;
    list.OnChange = [&](TObject*) { ++changes; };

    for (TControl* c : {static_cast<TControl*>(&form), static_cast<TControl*>(&button),
                        static_cast<TControl*>(&slider), static_cast<TControl*>(&list)})
        c->Loaded();
    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(WidgetOf(&form)));
    ASSERT_EQ(list.Height(), 60);

    // The X server moves the pointer: the button takes its hover look, and loses it again.
    QCursor::setPos(Global(button, 40, 15));
    EXPECT_TRUE(WaitFor([&] { return button.State() == 1; }));
    QCursor::setPos(Global(form, 300, 180));
    EXPECT_TRUE(WaitFor([&] { return button.State() == 0; }));

    // A click on the middle item selects it.
    QCursor::setPos(Global(list, 60, 30));
    EXPECT_TRUE(WaitFor([&] { return list.HoveredItem() == 1; }));
    QTest::mouseClick(WidgetOf(&list), Qt::LeftButton, Qt::NoModifier, QPoint(60, 30));
    EXPECT_TRUE(WaitFor([&] { return list.ItemIndex() == 1; }));
    EXPECT_EQ(changes, 1);

    // A press on the track centres the thumb there: offset 100 - 5 of 190.
    QTest::mouseClick(WidgetOf(&slider), Qt::LeftButton, Qt::NoModifier, QPoint(100, 10));
    EXPECT_TRUE(WaitFor([&] { return slider.Position() == 95 * 100 / 190; }));

    QCursor::setPos(Global(form, 300, 180));
    Settle(100);
    QScreen* screen = WidgetOf(&form)->screen();
    ASSERT_NE(screen, nullptr);
    const QImage shot = screen->grabWindow(WidgetOf(&form)->winId()).toImage();
    ASSERT_FALSE(shot.isNull());
    const char* dir = std::getenv("RT_TEST_OUTPUT_DIR");
    const std::string path = std::string(dir ? dir : ".") + "/controls-on-display.png";
    EXPECT_TRUE(shot.save(QString::fromStdString(path)));

    EXPECT_EQ(ColorAt(shot, button, form, 2, 2), QColor(0xC0, 0, 0));
    EXPECT_EQ(ColorAt(shot, list, form, 2, 22), QColor(0xC0, 0x80, 0));
    EXPECT_EQ(ColorAt(shot, list, form, 2, 2), QColor(0x30, 0x30, 0x80));
    EXPECT_EQ(ColorAt(shot, slider, form, 95 + 5, 10), QColor(0xFF, 0xFF, 0xFF));
}

}  // namespace
