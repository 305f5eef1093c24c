#include "event_loop.h"

#include <QCoreApplication>
#include <QCursor>

namespace ui {

void EndMessageLoop() { QCoreApplication::exit(0); }

Point GetCursorPos() {
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

} // namespace ui
