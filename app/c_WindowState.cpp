#include "c_WindowState.h"

#include "services/CIniFile.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

const QString Section = QStringLiteral("Window");

// Smaller than this is no usable window: such a stored size is ignored.
constexpr int SmallestWidth = 200;
constexpr int SmallestHeight = 150;
// The strip at the top of a window that must lie on a screen to be grabbed and moved.
constexpr int TitleStrip = 30;
constexpr int GrabWidth = 100;

int ReadInRange(const TIniFile& ini, const QString& key, int low, int high, int def) {
    const int value = ini.ReadInteger(Section, key, def);
    return value >= low && value <= high ? value : def;
}

} // namespace

bool ReadWindowState(const TIniFile& ini, TWindowState& state) {
    if (!ini.SectionExists(Section))
        return false;
    state.Folder = ini.ReadString(Section, QStringLiteral("Folder"), QString());
    state.SizeIndex = ReadInRange(ini, QStringLiteral("Size"), 0, 2, state.SizeIndex);
    state.SortMode = ReadInRange(ini, QStringLiteral("Order"), 0, 2, state.SortMode);
    const int big = 1 << 20;
    const int left = ReadInRange(ini, QStringLiteral("Left"), -big, big, big + 1);
    const int top = ReadInRange(ini, QStringLiteral("Top"), -big, big, big + 1);
    const int width = ReadInRange(ini, QStringLiteral("Width"), SmallestWidth, big, 0);
    const int height = ReadInRange(ini, QStringLiteral("Height"), SmallestHeight, big, 0);
    if (left <= big && top <= big && width > 0 && height > 0)
        state.Geometry = QRect(left, top, width, height);
    state.Maximized = ini.ReadInteger(Section, QStringLiteral("Maximized"), 0) != 0;
    state.TreeWidth = ReadInRange(ini, QStringLiteral("TreeWidth"), 100, big, 0);
    return true;
}

void WriteWindowState(TIniFile& ini, const TWindowState& state) {
    // Every write rewrites the file on disk: only what changed is written.
    auto put = [&](const char* key, const QString& value) {
        const QString name = QLatin1String(key);
        if (!ini.ValueExists(Section, name) || ini.ReadString(Section, name, QString()) != value)
            ini.WriteString(Section, name, value);
    };
    if (!state.Folder.isEmpty())
        put("Folder", state.Folder);
    put("Size", QString::number(state.SizeIndex));
    put("Order", QString::number(state.SortMode));
    if (state.Geometry.isValid()) {
        put("Left", QString::number(state.Geometry.left()));
        put("Top", QString::number(state.Geometry.top()));
        put("Width", QString::number(state.Geometry.width()));
        put("Height", QString::number(state.Geometry.height()));
    }
    put("Maximized", state.Maximized ? QStringLiteral("1") : QStringLiteral("0"));
    if (state.TreeWidth > 0)
        put("TreeWidth", QString::number(state.TreeWidth));
}

QString NearestExistingFolder(const QString& path) {
    QString dir =
        QDir::cleanPath(QFileInfo(path.isEmpty() ? QStringLiteral("/") : path).absoluteFilePath());
    while (!QFileInfo(dir).isDir()) {
        const QString up = QFileInfo(dir).path();
        if (up == dir)
            return QStringLiteral("/");
        dir = up;
    }
    return dir;
}

QRect PlaceOnScreens(const QRect& wanted, const QList<QRect>& screens) {
    if (screens.isEmpty() || !wanted.isValid())
        return wanted;
    const QRect strip(wanted.left(), wanted.top(), wanted.width(), TitleStrip);
    const int grab = std::min(GrabWidth, wanted.width());
    for (const QRect& s : screens)
        if (s.intersected(strip).width() >= grab && s.contains(QPoint(s.left(), wanted.top()))) {
            // Reachable where it is; only a window larger than that screen (one of lower
            // resolution, or a larger scale) is made to fit it.
            if (wanted.width() <= s.width() && wanted.height() <= s.height())
                return wanted;
            const int w = std::min(wanted.width(), s.width());
            const int h = std::min(wanted.height(), s.height());
            return QRect(std::clamp(wanted.left(), s.left(), s.left() + s.width() - w),
                         std::clamp(wanted.top(), s.top(), s.top() + s.height() - h), w, h);
        }
    // Onto the screen it overlaps most, else the nearest.
    QRect target = screens.first();
    qint64 best = -1;
    for (const QRect& s : screens) {
        const QRect common = s.intersected(wanted);
        qint64 score = qint64(common.width()) * common.height();
        if (score == 0) {
            // No overlap: nearer counts more (negative distance).
            const QPoint d = s.center() - wanted.center();
            score = -(qint64(d.x()) * d.x() + qint64(d.y()) * d.y()) - 1;
        }
        if (best == -1 || score > best) {
            best = score;
            target = s;
        }
    }
    const int w = std::min(wanted.width(), target.width());
    const int h = std::min(wanted.height(), target.height());
    const int x = std::clamp(wanted.left(), target.left(), target.left() + target.width() - w);
    const int y = std::clamp(wanted.top(), target.top(), target.top() + target.height() - h);
    return QRect(x, y, w, h);
}

TStartTarget ResolveStartTarget(const QString& name) {
    TStartTarget target;
    if (name.isEmpty())
        return target;
    const QFileInfo info(name);
    const QString full = QDir::cleanPath(info.absoluteFilePath());
    if (info.isDir()) {
        target.Folder = full;
    } else if (info.exists()) {
        target.Folder = QDir::cleanPath(info.absolutePath());
        target.Picture = full;
    } else {
        target.Folder = NearestExistingFolder(full);
        target.Notice =
            QStringLiteral("\"%1\" does not exist; its nearest existing folder is shown.")
                .arg(full);
    }
    return target;
}
