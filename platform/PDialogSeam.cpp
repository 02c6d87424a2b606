#include "PDialogSeam.h"

#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>

namespace {
TDialogAnswerer& Answerer() {
    static TDialogAnswerer answerer;
    return answerer;
}
} // namespace

void SetDialogAnswerer(TDialogAnswerer answerer) {
    Answerer() = std::move(answerer);
}

bool HasDialogAnswerer() {
    return static_cast<bool>(Answerer());
}

int ExecDialog(QDialog& dialog, const QString& kind, const QString& text) {
    if (!Answerer())
        return dialog.exec();
    QPointer<QDialog> guard(&dialog);
    TDialogRequest request{&dialog, kind, dialog.windowTitle(), text};
    // Answer from inside the modal loop, so the dialog is shown and laid out as for a person.
    QTimer::singleShot(0, &dialog, [guard, request]() mutable {
        TDialogAnswerer answerer = Answerer(); // the answerer may replace itself
        const int code = answerer(request);
        if (guard && guard->isVisible())
            guard->done(code);
    });
    return dialog.exec();
}

int ExecDialogCentred(QDialog& dialog, const QString& kind) {
    const QWidget* owner = dialog.parentWidget() ? dialog.parentWidget()->window() : nullptr;
    QRect area = owner && owner->isVisible() ? owner->frameGeometry() : QRect();
    if (area.isEmpty() && dialog.screen())
        area = dialog.screen()->availableGeometry();
    if (!area.isEmpty())
        dialog.move(area.center() - QPoint(dialog.width() / 2, dialog.height() / 2));
    return ExecDialog(dialog, kind);
}

void ShowPlainMessage(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    ExecDialog(box, QStringLiteral("plain message"), text);
}
