#include "event_loop.h"

#include <QCoreApplication>
#include <QCursor>

namespace ui {

void DoEvents() { QCoreApplication::processEvents(); }

Point GetCursorPos() {
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

} // namespace ui
