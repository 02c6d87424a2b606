#include "c_FolderTreeModel.h"

#include <QDirIterator>

TFolderTreeModel::TFolderTreeModel(QObject* parent) : QFileSystemModel(parent) {
    // Folders only, hidden ones left out; the tree is refreshed on request.
    setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    setOption(QFileSystemModel::DontWatchForChanges, true);
    setReadOnly(true);
}

bool TFolderTreeModel::HasSubfolders(const QString& path) {
    // Stops at the first folder found: a folder of many pictures costs one directory read.
    QDirIterator it(path, QDir::Dirs | QDir::NoDotAndDotDot);
    return it.hasNext();
}

bool TFolderTreeModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid() || !QFileSystemModel::hasChildren(parent))
        return QFileSystemModel::hasChildren(parent);
    // What has been read already answers for itself.
    if (rowCount(parent) > 0)
        return true;
    const QString path = filePath(parent);
    auto known = FHasSubfolders.constFind(path);
    if (known != FHasSubfolders.constEnd())
        return *known;
    const bool has = HasSubfolders(path);
    FHasSubfolders.insert(path, has);
    return has;
}
