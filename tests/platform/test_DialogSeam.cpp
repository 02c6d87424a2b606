#include "platform/PDialogSeam.h"

#include <QDialog>
#include <QPushButton>
#include <gtest/gtest.h>

// The answerer sees the dialog open and laid out, and its click decides the result.
TEST(DialogSeam, AnswererClicksAButtonOfTheOpenDialog) {
    QDialog dialog;
    dialog.setWindowTitle("Velmora");
    auto* button = new QPushButton("Cancel", &dialog);
    QObject::connect(button, &QPushButton::clicked, &dialog, [&] { dialog.done(7); });
    bool sawVisible = false;
    SetDialogAnswerer([&](TDialogRequest& r) {
        sawVisible = r.Dialog->isVisible();
        EXPECT_EQ(r.Caption, "Velmora");
        EXPECT_EQ(r.Kind, "message");
        button->click();
        return -99; // ignored: the click already ended the dialog
    });
    EXPECT_EQ(ExecDialog(dialog, "message", "text"), 7);
    EXPECT_TRUE(sawVisible);

    SetDialogAnswerer([](TDialogRequest&) { return 3; });
    EXPECT_EQ(ExecDialog(dialog, "message"), 3);
    SetDialogAnswerer({});
    EXPECT_FALSE(HasDialogAnswerer());
}
