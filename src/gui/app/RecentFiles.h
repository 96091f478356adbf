#pragma once
// The recent-file list: at most four project paths, most recent first, kept
// in the application's settings under "Recent File List" (File1 .. File4).
#include <QStringList>

namespace varnel {

class RecentFiles {
public:
    static constexpr int MAX = 4;

    QStringList Files() const;
    // Puts `path` first (once), dropping the oldest beyond four.
    void Add(const QString& path);
    // Drops `path`, given as opened or as an absolute path.
    void Remove(const QString& path);

private:
    void Store(const QStringList& files);
};

}  // namespace varnel
