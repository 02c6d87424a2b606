#include "i_Cache.h"

#include "Common/c_Config.h"
#include "Common/c_Other.h"
#include "app/c_Message.h"
#include "cache/CThumbnailDB.h"
#include "cache/i_SelectCachePath.h"
#include "platform/PDialogSeam.h"
#include "platform/PSystem.h"
#include "services/CIniFile.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <algorithm>

TfrmCache* frmCache = nullptr;

namespace {

const QString Caption = QStringLiteral("Velmora");

QLabel* NewLabel(const QString& name, const QString& text, int x, int y, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->move(x, y);
    l->adjustSize();
    return l;
}

QPushButton* NewButton(const QString& name, const QString& caption, const QRect& r,
                       QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(r);
    b->setAutoDefault(false);
    return b;
}

} // namespace

TfrmCache::TfrmCache(QWidget* owner, TThumbnailDB* database, TfrmSelectCachePath* selectPath)
    : QDialog(owner), FDatabase(database), FSelectPath(selectPath) {
    setObjectName(QStringLiteral("frmCache"));
    // A fixed border with only the system menu.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("Cache settings"));
    setFixedSize(375, 179);
    QFont f(QString::fromUtf8("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);
    setFont(f);

    Label1 = NewLabel(QStringLiteral("Label1"), QStringLiteral("Image cache size"), 8, 8, this);
    // The slider comes first in the tab order, so it has the focus when the window opens.
    TrackBar = new QSlider(Qt::Horizontal, this);
    TrackBar->setObjectName(QStringLiteral("TrackBar"));
    TrackBar->setGeometry(8, 28, 353, 33);
    TrackBar->setRange(0, MaxPosition);
    TrackBar->setSingleStep(1);
    TrackBar->setPageStep(1);
    TrackBar->setTickInterval(1);
    TrackBar->setTickPosition(QSlider::TicksBelow);
    TrackBar->setValue(MaxPosition);
    Label2 = NewLabel(QStringLiteral("Label2"), QStringLiteral("0MB"), 8, 60, this);
    Label3 = NewLabel(QStringLiteral("Label3"), QStringLiteral("500MB"), 336, 60, this);
    // A wider font than the design's must not push the right-hand end out of the window.
    Label3->move(std::min(336, width() - 4 - Label3->width()), 60);
    Label4 = NewLabel(QStringLiteral("Label4"), QStringLiteral("Cache location"), 8, 84, this);
    EdCachePath = new QLineEdit(this);
    EdCachePath->setObjectName(QStringLiteral("EdCachePath"));
    EdCachePath->setGeometry(8, 104, 317, 20);
    EdCachePath->setReadOnly(true);
    BtnSelectPath =
        NewButton(QStringLiteral("BtnSelectPath"), QStringLiteral("..."), {330, 104, 33, 21}, this);
    BtnClear = NewButton(QStringLiteral("BtnClear"), QStringLiteral("Clear cache"),
                         {16, 140, 101, 29}, this);
    BtnClose =
        NewButton(QStringLiteral("BtnClose"), QStringLiteral("Close"), {136, 140, 101, 29}, this);
    BtnBest = NewButton(QStringLiteral("BtnBest"), QStringLiteral("Optimal value"),
                        {256, 140, 101, 29}, this);

    connect(BtnSelectPath, &QPushButton::clicked, this, &TfrmCache::BtnSelectPathClick);
    connect(BtnClear, &QPushButton::clicked, this, &TfrmCache::BtnClearClick);
    connect(BtnClose, &QPushButton::clicked, this, &TfrmCache::BtnCloseClick);
    connect(BtnBest, &QPushButton::clicked, this, &TfrmCache::BtnBestClick);

    if (FSelectPath)
        FSelectPath->CacheForm = this;
    FormCreate();
}

void TfrmCache::FormCreate() {
    if (!FDatabase)
        return;
    EdCachePath->setText(FDatabase->GetCacheDirectory());
    TrackBar->setValue(PositionOfSizeKB(FDatabase->GetMaxSizeKB()));
}

int TfrmCache::PositionOfSizeKB(int32_t sizeKB) {
    return std::clamp(sizeKB / 1024 / 25, 0, MaxPosition);
}

int32_t TfrmCache::SizeKB() const {
    return TrackBar->value() * StepKB;
}

void TfrmCache::SetOptimalSize(const QString& path) {
    TrackBar->setValue(DefaultCacheSize(path) / 25);
}

bool TfrmCache::FolderReadOnly(const QString& dir) {
    if (dir.isEmpty() || !PIsWritableDir(dir))
        return true;
    // A folder nobody may write counts as read-only even for a user who could write it
    // anyway (root).
    const QFile::Permissions anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return (QFileInfo(dir).permissions() & anyWrite) == 0;
}

bool TfrmCache::SettingsReadOnly() {
    if (!IniFile)
        return true;
    const QString name = IniFile->FileName();
    // A missing file is written afresh where its folder allows.
    if (!QFileInfo::exists(name))
        return !PIsWritableDir(QFileInfo(name).absolutePath());
    return PIsReadOnlyFile(name);
}

void TfrmCache::StopLoading() {
    if (!OnStopLoading)
        return;
    // The window takes no clicks while the loader finishes its current picture.
    setEnabled(false);
    OnStopLoading();
    setEnabled(true);
}

void TfrmCache::ShowError(const QString& text) {
    MsgManage.ShowMsg(text, Caption, {TMsgButton::OK});
}

void TfrmCache::BtnSelectPathClick() {
    if (FSelectPath)
        FSelectPath->ShowModal();
}

void TfrmCache::BtnClearClick() {
    if (!FDatabase)
        return;
    StopLoading();
    try {
        FDatabase->ClearCache();
    } catch (const std::exception& e) {
        ShowError(QString::fromUtf8(e.what()));
    }
}

void TfrmCache::BtnBestClick() {
    SetOptimalSize(EdCachePath->text());
}

void TfrmCache::BtnCloseClick() {
    if (!FDatabase)
        return;
    try {
        if (FolderReadOnly(EdCachePath->text())) {
            MsgManage.ShowMsg(QStringLiteral("The specified directory is read-only."), Caption,
                              {TMsgButton::OK});
            EdCachePath->setText(FDatabase->GetCacheDirectory());
            BtnBestClick();
            if (SizeKB() != FDatabase->GetMaxSizeKB()) {
                StopLoading();
                FDatabase->SetMaxSizeKB(SizeKB());
            }
            return;
        }
        if (SettingsReadOnly()) {
            accept();
            return;
        }
        const QString dir = EdCachePath->text();
        const int32_t size = SizeKB();
        const bool moving = dir != FDatabase->GetCacheDirectory();
        const bool resizing = size != FDatabase->GetMaxSizeKB();
        // An unchanged cache leaves a running load alone.
        if (moving || resizing)
            StopLoading();
        if (moving)
            FDatabase->SetCacheDirectory(dir);
        if (resizing)
            FDatabase->SetMaxSizeKB(size);
        IniFile->WriteString(QStringLiteral("Cache"), QStringLiteral("Directory"),
                             FDatabase->GetCacheDirectory());
        IniFile->WriteInteger(QStringLiteral("Cache"), QStringLiteral("Size"), size);
        accept();
    } catch (const std::exception& e) {
        // The window stays open with the user's choice, to try again or close it.
        ShowError(QString::fromUtf8(e.what()));
    }
}

int TfrmCache::ShowModal() {
    TrackBar->setFocus();
    return ExecDialogCentred(*this, QStringLiteral("cache"));
}
