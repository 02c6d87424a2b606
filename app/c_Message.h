#pragma once
// The program's one message box: a small window built on the fly with the program's own
// English button captions and a fixed layout for one, two or three buttons. Every message
// to the user goes through MsgManage.ShowMsg.
#include <QList>
#include <QString>

enum class TMsgButton : int {
    OK = 0,
    Cancel = 1,
    Yes = 2,
    No = 3,
    Stop = 4,
    TryAgain = 5,
    Ignore = 6
};

class TMsgManage {
public:
    static constexpr int MaxButtons = 3;
    static constexpr int BoxHeight = 100;
    static constexpr int ButtonWidth = 85;
    static constexpr int ButtonHeight = 25;
    static constexpr int ButtonTop = 65;
    static constexpr int LabelTop = 20;
    static constexpr int LabelHeight = 20;

    // Per button count: the box's inner width and the left edge of each button.
    struct TLayout {
        int Width;
        int Left[MaxButtons];
    };

    TMsgManage();
    TMsgManage(const TMsgManage&) = delete;
    TMsgManage& operator=(const TMsgManage&) = delete;

    // Shows the box modally and returns the 1-based position in `buttons` of the button
    // pressed, or -1 when the box was closed another way. Only the first three buttons have
    // a place; an empty list gets a single "OK".
    int ShowMsg(const QString& text, const QString& caption, const QList<TMsgButton>& buttons);

    static QString ButtonCaption(TMsgButton button);
    const TLayout& Layout(int buttonCount) const;

private:
    TLayout FLayouts[MaxButtons];
};

// Created when the program loads, before any start-up step, so the refusals can use it.
extern TMsgManage MsgManage;
