#include "gui/app/RecentFiles.h"

#include <QFileInfo>
#include <QSettings>

namespace varnel {

namespace {
const char* const GROUP = "Recent File List";

QString Key(int i)
{
    return QStringLiteral("File%1").arg(i + 1);
}
}  // namespace

QStringList RecentFiles::Files() const
{
    QSettings settings;
    settings.beginGroup(GROUP);
    QStringList files;
    for (int i = 0; i < MAX; ++i) {
        const QString file = settings.value(Key(i)).toString();
        if (!file.isEmpty()) files << file;
    }
    return files;
}

void RecentFiles::Store(const QStringList& files)
{
    QSettings settings;
    settings.beginGroup(GROUP);
    for (int i = 0; i < MAX; ++i) {
        if (i < files.size())
            settings.setValue(Key(i), files[i]);
        else
            settings.remove(Key(i));
    }
}

void RecentFiles::Add(const QString& path)
{
    QStringList files = Files();
    files.removeAll(path);
    files.prepend(path);
    Store(files.mid(0, MAX));
}

void RecentFiles::Remove(const QString& path)
{
    QStringList files = Files();
    if (files.removeAll(QFileInfo(path).absoluteFilePath()) + files.removeAll(path) > 0)
        Store(files);
}

}  // namespace varnel
