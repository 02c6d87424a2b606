#pragma once
// The windows' side of a print job: messages through the program's message box, the print
// dialog, the progress window and the preview window.
#include "p_PrintBase.h"

class TPrintDialog;

class TWindowJobHost : public TPrintJobHost {
public:
    // shared: the print dialog of the settings windows (the program's shared one); the
    // preview window's Print uses the host's own.
    explicit TWindowJobHost(TPrintDialog* shared = nullptr);
    ~TWindowJobHost() override;

    int Message(const QString& text, bool withCancel) override;
    bool PrintDialog(TPrintRange& range, bool fromPreview) override;
    void ProgressShow() override;
    void ProgressSet(int percent) override;
    bool ProgressCancelled() override;
    void ProgressClose() override;
    void PreviewShowPage(const QImage& page, int number, int count) override;
    void PreviewRun(const TPreviewHooks& hooks) override;
    void BusyCursor(bool on) override;

    TPrintDialog* SharedDialog;

private:
    TPrintDialog* FOwnDialog;
};

// Shows an error that ended a print or preview in the program's message box.
void ShowJobError(const std::exception& e);
// Runs a job step from a button; an error ends the step with a message instead of leaving
// the event loop.
void RunJobStep(const std::function<void()>& step);

// The host of the program's print windows.
TWindowJobHost& WindowJobHost();
