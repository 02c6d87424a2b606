#pragma once
// The main window: the folder tree, the thumbnail grid and the print commands.
#include <QMainWindow>

class TfrmThumbnail : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmThumbnail(QWidget* parent = nullptr);
    ~TfrmThumbnail() override;
};

// The main window while it exists.
extern TfrmThumbnail* frmThumbnail;
