#include "support_Loader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

bool WaitFor(const std::function<bool()>& pred, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}

QStringList NumberedPaths(const QString& folder, int count, const QString& ext) {
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QString("%1/img%2.%3").arg(folder).arg(i, 4, 10, QChar('0')).arg(ext);
    return list;
}

TLoaderRig::TLoaderRig() {
    Grid.resize(600 + TThumbListView::ScrollBarWidth, 400);
    Grid.show();
}

void TLoaderRig::Start(std::unique_ptr<TThumbnailSource> source) {
    Thread = std::make_unique<TImageListThread>(&Grid, &Reload, std::move(source));
    Thread->OnProgress = [this](int p) {
        Reports << p;
        if (OnReport)
            OnReport(p);
    };
    Thread->SetThumbSize(128, 128);
}

bool TLoaderRig::Settled() const {
    return Thread->Idle() && !Reports.isEmpty() && (Reports.last() >= 100 || Reports.last() < 0);
}

bool TLoaderRig::Load(const QStringList& list, int timeoutMs) {
    Reports.clear();
    Thread->SetFileList(list);
    return WaitFor([&] { return Settled(); }, timeoutMs);
}

int TLoaderRig::Pictures() const {
    int n = 0;
    for (int i = 0; i < Grid.Count(); ++i)
        n += Grid.Item(i)->Bitmap.isNull() ? 0 : 1;
    return n;
}
