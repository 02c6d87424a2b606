#include "i_JobHost.h"

#include "app/c_Message.h"
#include "app/i_Gauge.h"
#include "platform/PPrinter.h"
#include "report/i_Preview.h"

#include <QApplication>
#include <QCursor>

TWindowJobHost::TWindowJobHost(TPrintDialog* shared)
    : SharedDialog(shared), FOwnDialog(new TPrintDialog) {}

TWindowJobHost::~TWindowJobHost() {
    delete FOwnDialog;
}

int TWindowJobHost::Message(const QString& text, bool withCancel) {
    QList<TMsgButton> buttons{TMsgButton::OK};
    if (withCancel)
        buttons << TMsgButton::Cancel;
    return MsgManage.ShowMsg(text, QStringLiteral("Velmora"), buttons);
}

bool TWindowJobHost::PrintDialog(TPrintRange& range, bool fromPreview) {
    TPrintDialog* dialog = fromPreview || !SharedDialog ? FOwnDialog : SharedDialog;
    dialog->Options = range.PageNums ? TPrintDialog::poPageNums : 0;
    dialog->MinPage = range.MinPage;
    dialog->MaxPage = range.MaxPage;
    dialog->FromPage = range.FromPage;
    dialog->ToPage = range.ToPage;
    if (!dialog->Execute())
        return false;
    range.FromPage = dialog->FromPage;
    range.ToPage = dialog->ToPage;
    return true;
}

void TWindowJobHost::ProgressShow() {
    if (!frmGauge)
        return;
    // The print window that started the job is modal; only a window modal in its turn gets
    // the clicks on its Cancel.
    frmGauge->setWindowModality(Qt::ApplicationModal);
    frmGauge->show();
    frmGauge->raise();
    QCoreApplication::processEvents();
}

void TWindowJobHost::ProgressSet(int percent) {
    if (!frmGauge)
        return;
    frmGauge->SetProgress(percent);
    // The page loop runs inside a click: the window's Cancel is only seen when its events
    // are handled here, between two pages.
    QCoreApplication::processEvents();
}

bool TWindowJobHost::ProgressCancelled() {
    return frmGauge && frmGauge->Cancelled;
}

void TWindowJobHost::ProgressClose() {
    if (frmGauge)
        frmGauge->hide();
}

void TWindowJobHost::PreviewShowPage(const QImage& page, int number, int count) {
    if (frmPreview)
        frmPreview->ShowPage(page, number, count);
}

void TWindowJobHost::PreviewRun(const TPreviewHooks& hooks) {
    if (!frmPreview)
        return;
    auto wrap = [](const std::function<void()>& f) -> std::function<void()> {
        if (!f)
            return {};
        return [f] { RunJobStep(f); };
    };
    frmPreview->OnFirst = wrap(hooks.First);
    frmPreview->OnPrevios = wrap(hooks.Previous);
    frmPreview->OnNext = wrap(hooks.Next);
    frmPreview->OnLast = wrap(hooks.Last);
    frmPreview->OnPrintOut = wrap(hooks.Print);
    frmPreview->ShowModal();
    frmPreview->OnFirst = frmPreview->OnPrevios = frmPreview->OnNext = frmPreview->OnLast =
        frmPreview->OnPrintOut = nullptr;
}

void TWindowJobHost::BusyCursor(bool on) {
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void ShowJobError(const std::exception& e) {
    MsgManage.ShowMsg(QString::fromUtf8(e.what()), QStringLiteral("Velmora"), {TMsgButton::OK});
}

void RunJobStep(const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception& e) {
        ShowJobError(e);
    }
}

TWindowJobHost& WindowJobHost() {
    static TWindowJobHost host;
    return host;
}
