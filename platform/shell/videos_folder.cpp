// The user's videos folder, as Qt reads XDG's user folders.
#include "folders.h"

#include <QDir>
#include <QStandardPaths>

namespace shell {

std::string VideosFolder() {
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (!videos.isEmpty() && QDir().mkpath(videos) && IsWritableFolder(videos.toStdString())) return videos.toStdString();
    return HomeFolder();
}

} // namespace shell
