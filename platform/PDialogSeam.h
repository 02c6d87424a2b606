#pragma once
// The one place where modal windows are run. Production code asks ExecDialog instead of
// calling exec() itself; a test installs an answerer, which sees the open dialog (already
// laid out and shown) and answers it as a person would: by clicking one of its buttons,
// closing it, or returning a result code.
#include <QString>
#include <functional>

class QDialog;

struct TDialogRequest {
    QDialog* Dialog = nullptr; // the open dialog; the answerer may click its buttons
    QString Kind;              // "message", "print", "color", "font", "folder", "preview", ...
    QString Caption;           // the window title
    QString Text;              // the message text, where there is one
};

// Returns the result that QDialog::exec() would return. When the answerer leaves the dialog
// open, it is ended with the answerer's return value.
using TDialogAnswerer = std::function<int(TDialogRequest&)>;

// Installs (or, with an empty function, removes) the answerer. Production code installs none.
void SetDialogAnswerer(TDialogAnswerer answerer);
bool HasDialogAnswerer();

// Runs the dialog modally, or lets the installed answerer answer it.
int ExecDialog(QDialog& dialog, const QString& kind, const QString& text = QString());
// Centres the dialog over its owner's window (the screen when the owner is not shown), then
// runs it as ExecDialog does.
int ExecDialogCentred(QDialog& dialog, const QString& kind);

// The platform's plain message box with a single OK (kind "plain message"), for reports
// that must not depend on the program's own message box.
void ShowPlainMessage(const QString& caption, const QString& text);
