#include "input_box.h"

#include <QApplication>
#include <QInputDialog>

#include <algorithm>

namespace ui {
namespace {
NumberHook& Hook() {
    static NumberHook hook;
    return hook;
}
} // namespace

void SetNumberHook(NumberHook hook) { Hook() = std::move(hook); }

std::optional<int> AskNumber(const std::string& title, const std::string& prompt, int value, int least, int most) {
    value = std::clamp(value, least, most);
    if (NumberHook hook = Hook()) {
        std::optional<int> answer = hook(prompt, value);
        if (answer) answer = std::clamp(*answer, least, most);
        return answer;
    }
    bool ok = false;
    const int answer = QInputDialog::getInt(QApplication::activeWindow(), QString::fromStdString(title),
                                            QString::fromStdString(prompt), value, least, most, 1, &ok);
    return ok ? std::optional<int>(answer) : std::nullopt;
}

} // namespace ui
