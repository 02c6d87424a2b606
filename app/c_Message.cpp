#include "c_Message.h"

#include "platform/PDialogSeam.h"

#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

TMsgManage MsgManage;

TMsgManage::TMsgManage()
    : FLayouts{{340, {133, 0, 0}}, {380, {80, 200, 0}}, {390, {30, 140, 250}}} {}

QString TMsgManage::ButtonCaption(TMsgButton button) {
    switch (button) {
    case TMsgButton::OK:
        return "OK";
    case TMsgButton::Cancel:
        return "Cancel";
    case TMsgButton::Yes:
        return "Yes";
    case TMsgButton::No:
        return "No";
    case TMsgButton::Stop:
        return "Stop";
    case TMsgButton::TryAgain:
        return "Try again";
    case TMsgButton::Ignore:
        return "Ignore";
    }
    return "OK";
}

const TMsgManage::TLayout& TMsgManage::Layout(int buttonCount) const {
    return FLayouts[qBound(1, buttonCount, MaxButtons) - 1];
}

int TMsgManage::ShowMsg(const QString& text, const QString& caption,
                        const QList<TMsgButton>& buttons) {
    // A local result keeps a box opened from inside another box from mixing up the two.
    int result = -1;
    QList<TMsgButton> kinds = buttons.mid(0, MaxButtons);
    if (kinds.isEmpty())
        kinds.append(TMsgButton::OK);
    const TLayout& layout = Layout(static_cast<int>(kinds.size()));

    QDialog box;
    // Only the system menu and the close box; a fixed border.
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                       Qt::MSWindowsFixedSizeDialogHint);
    box.setWindowTitle(caption);
    box.setFixedSize(layout.Width, BoxHeight);
    box.setObjectName("MsgBox");

    auto* label = new QLabel(&box);
    label->setObjectName("MsgLabel");
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    int width = label->sizeHint().width();
    if (width > layout.Width - 10)
        width = layout.Width - 20;
    label->setGeometry((layout.Width - width) / 2, LabelTop, width, LabelHeight);
    label->setWordWrap(true);
    // A wrapped text grows downwards within the box, as a self-sizing label does.
    const int wrapped = label->heightForWidth(width);
    if (wrapped > LabelHeight)
        label->resize(width, wrapped);

    for (int k = 1; k <= kinds.size(); ++k) {
        auto* button = new QPushButton(ButtonCaption(kinds[k - 1]), &box);
        button->setObjectName(QString("MsgButton%1").arg(k));
        button->setGeometry(layout.Left[k - 1], ButtonTop, ButtonWidth, ButtonHeight);
        button->setAutoDefault(true);
        QObject::connect(button, &QPushButton::clicked, &box, [&result, k, &box] {
            result = k;
            box.accept();
        });
        button->raise(); // a long wrapped text never hides the buttons
        if (k == 1)
            button->setFocus();
    }

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desk = screen->availableGeometry();
        box.move(desk.left() + (desk.width() - layout.Width) / 2,
                 desk.top() + (desk.height() - BoxHeight) / 2);
    }
    ExecDialog(box, "message", text);
    return result;
}
