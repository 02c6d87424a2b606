#include "support_Loader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
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

bool TFakeSource::GetOriginalInfo(const QString& path, TOriginalFacts& facts) {
    if (Missing.contains(path))
        return false;
    const qsizetype name = QFileInfo(path).completeBaseName().size();
    facts = {
        1000 + name * 1024, "2004/03/05 19:08:" + QString::number(10 + name % 50), {}, 400, 300};
    return true;
}

bool TFakeSource::GetThumbnail(const QString& path, QImage& bitmap) {
    std::lock_guard<std::mutex> lock(FLock); // only the loading thread makes pictures
    FRequests << path;
    QThread::usleep(DelayUs);
    if (Broken.contains(path))
        throw std::runtime_error("broken picture");
    if (Missing.contains(path))
        return false;
    bitmap = QImage(400, 300, QImage::Format_RGB32);
    bitmap.fill(Qt::darkGreen);
    return true;
}

bool TFakeSource::RefreshThumbnail(const QString& path, QImage& bitmap) {
    ++Refreshes;
    bitmap = QImage(300, 400, QImage::Format_RGB32);
    bitmap.fill(Qt::magenta);
    return !path.isEmpty();
}

QStringList TFakeSource::Requests() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FRequests;
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

bool TLoaderRig::Await(const std::function<void()>& request, int timeoutMs) {
    Reports.clear();
    request();
    return WaitFor([&] { return Settled(); }, timeoutMs);
}

int TLoaderRig::Pictures() const {
    int n = 0;
    for (int i = 0; i < Grid.Count(); ++i)
        n += Grid.Item(i)->Bitmap.isNull() ? 0 : 1;
    return n;
}
