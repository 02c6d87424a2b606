#pragma once
// Program start: the logo, the single-instance rule, the two refusals to start, the window
// creation order and the message loop.
#include <QString>

class QApplication;
class QWidget;

// The refusal texts.
extern const char* const NoPrinterText;
extern const char* const LocationText;

// Runs the program in the application object main() made; returns the exit code: 0 after
// a normal end or when another instance was brought forward, 1 after a refusal.
int RunVelmora(QApplication& app);

// "ＭＳ Ｐゴシック" and "MS PGothic" resolve to IPAPGothic.
void InstallFontSubstitutions();

// With VELMORA_TEST_HOOK set, every message box is answered by its first button and its
// caption and text are written to standard error, so the whole program can run unattended;
// the print dialog is accepted as it opens; the print settings and preview windows are left
// to whoever drives the program (a test clicking on the display). The start-up steps are
// reported there too ("VELMORA_EVENT: ..."). Does nothing otherwise.
void InstallTestHook();

// The start-up refusals: each shows its message (caption "Velmora", one "Cancel") and
// returns false when the program may not go on.
bool CheckPrinter();
bool CheckLocation();

// Shows the window, restores it when minimised, raises and activates it.
void BringWindowForward(QWidget* window);
