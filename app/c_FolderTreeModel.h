#pragma once
// The folder tree's model: the file system's folders, hidden ones left out, that answers
// "has subfolders" by looking, so a folder without any shows no expand arrow. The answers
// are kept until the model is made afresh (the tree's Refresh does that).
#include <QFileSystemModel>
#include <QHash>

class TFolderTreeModel : public QFileSystemModel {
    Q_OBJECT
public:
    explicit TFolderTreeModel(QObject* parent = nullptr);

    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;

    // Whether the folder holds a folder that the tree shows (not hidden).
    static bool HasSubfolders(const QString& path);

private:
    mutable QHash<QString, bool> FHasSubfolders;
};
