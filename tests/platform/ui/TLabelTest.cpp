// Labels: size from their text, and a transparent label over its parent's painting.
#include <gtest/gtest.h>

#include "platform/ui/ApplicationInstance.h"
#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TCanvas.h"
#include "platform/drawing/TFont.h"
#include "platform/ui/TLabel.h"
#include "platform/ui/TPanel.h"

namespace {

class LabelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApplication();
        parent.SetBounds(0, 0, 200, 50);
        parent.SetBevelOuter(bvNone);
        parent.SetColor(clRed);
        label = new TLabel(&parent);
        label->SetParent(&parent);
        label->SetBounds(10, 10, 5, 5);
        label->Font()->SetName("Arial");
        label->Font()->SetHeight(-14);
        label->Font()->SetColor(clWhite);
        label->SetCaption("Label text");
    }
    TPanel parent{nullptr};
    TLabel* label = nullptr;
};

TEST_F(LabelTest, AutoSizeTakesTextExtent)
{
    label->Repaint();
    TBitmap measure;
    measure.SetSize(1, 1);
    measure.Canvas()->SetFont(label->Font());
    RECT r{0, 0, 0, 0};
    DrawText(measure.Canvas()->Handle(), "Label text", -1, &r, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
    EXPECT_EQ(label->Width(), r.right);
    EXPECT_EQ(label->Height(), r.bottom);
    label->SetAutoSize(false);
    label->SetBounds(10, 10, 20, 5);
    label->Repaint();
    EXPECT_EQ(label->Width(), 20);
}

TEST_F(LabelTest, TransparentLabelShowsParentBeneath)
{
    parent.Repaint();
    label->SetColor(clBlue);
    label->Repaint();
    EXPECT_EQ(label->Canvas()->Pixels(0, 0), clBlue);
    label->SetTransparent(true);
    label->Repaint();
    EXPECT_EQ(label->Canvas()->Pixels(0, 0), clRed);
    int white = 0;
    for (int y = 0; y < label->Height(); ++y)
        for (int x = 0; x < label->Width(); ++x)
            white += label->Canvas()->Pixels(x, y) == clWhite;
    EXPECT_GT(white, 5);
}

}  // namespace
