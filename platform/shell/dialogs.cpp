#include "dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace shell {
namespace {

QWidget* Owner(std::uintptr_t owner) { return owner != 0 ? QWidget::find(static_cast<WId>(owner)) : nullptr; }

// "*.vob" as a pattern that also takes "*.VOB" and "*.Vob".
QString AnyCase(const QString& pattern) {
    QString out;
    for (const QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper()) out += QString("[%1%2]").arg(c.toLower(), c.toUpper());
        else out += c;
    }
    return out;
}

// "Description|pattern|..." as Qt's name filters; the dialog shows only the
// descriptions, as Windows does.
QStringList NameFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (QString& p : patterns) p = AnyCase(p.trimmed());
        filters << QString("%1 (%2)").arg(parts[i], patterns.join(' '));
    }
    return filters;
}

QString StartFolder(const std::string& start) {
    const QString folder = QString::fromStdString(start);
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

} // namespace

std::string BrowseForFolder(std::uintptr_t owner, const std::string& title, const std::string& start) {
    QFileDialog dialog(Owner(owner), QString::fromStdString(title), StartFolder(start));
    dialog.setObjectName("BrowseForFolder");
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front().toStdString();
}

OpenFileResult ShowOpen(std::uintptr_t owner, const std::string& filter, const std::string& start) {
    QFileDialog dialog(Owner(owner), {}, StartFolder(start));
    dialog.setObjectName("OpenFile");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(NameFilters(filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString path = dialog.selectedFiles().front();
    return {QFileInfo(path).fileName().toStdString(), path.toStdString()};
}

} // namespace shell
