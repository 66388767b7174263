// The tutorial list: items carry their entry's ID, and the list answers OK only for a selection.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QListWidget>

#include "app/video/TVideoTutorialForm.h"
#include "platform/ui/ApplicationInstance.h"

namespace {

TEST(VideoTutorialForm, SelectedItemGivesItsIdAndClickAccepts)
{
    EnsureApplication();
    TVideoTutorialForm form;
    form.AddItem("Getting started", "intro");
    form.AddItem("Bending strings", "bends");
    ASSERT_EQ(form.ItemCount(), 2);
    EXPECT_EQ(form.GetSelectedItem(), "");
    form.ListClick();
    EXPECT_EQ(form.result(), QDialog::Rejected);

    form.List->setCurrentRow(1);
    EXPECT_EQ(form.GetSelectedItem(), "bends");
    form.ListClick();
    EXPECT_EQ(form.result(), QDialog::Accepted);

    form.Clear();
    EXPECT_EQ(form.ItemCount(), 0);
    EXPECT_EQ(form.GetSelectedItem(), "");
}

TEST(VideoTutorialForm, CloseAndEscapeCancel)
{
    EnsureApplication();
    TVideoTutorialForm form;
    form.AddItem("Getting started", "intro");
    form.List->setCurrentRow(0);
    form.Button2Click();
    EXPECT_EQ(form.result(), QDialog::Rejected);

    form.setResult(QDialog::Accepted);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&form, &release);
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

}  // namespace
