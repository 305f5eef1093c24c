#include "shell_execute.h"

#include <QDesktopServices>
#include <QUrl>

namespace shell {
namespace {

std::function<void(const std::string&)>& Hook() {
    static std::function<void(const std::string&)> hook;
    return hook;
}

} // namespace

void SetShellExecuteHook(std::function<void(const std::string& target)> hook) { Hook() = std::move(hook); }

void ShellExecute(const std::string& target) {
    if (Hook()) {
        Hook()(target);
        return;
    }
    QDesktopServices::openUrl(QUrl(QString::fromStdString(target)));
}

} // namespace shell
