#pragma once
// The print progress window "Preparing to print": a gauge the page loop moves after each
// page and a "Cancel" button the loop polls once per page.
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

class TfrmGauge : public QDialog {
    Q_OBJECT
public:
    explicit TfrmGauge(QWidget* owner = nullptr);

    // Limits the value to 0..100, sets the gauge and repaints it at once.
    void SetProgress(int percent);
    int Progress() const;

    // Set by "Cancel" (or by closing the window from the window manager); cleared whenever
    // the window is shown.
    bool Cancelled = false;

    QProgressBar* Gauge;
    QLabel* Label1;
    QPushButton* Button1;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Button1Click();
};

// The one progress window, created hidden at start-up.
extern TfrmGauge* frmGauge;
