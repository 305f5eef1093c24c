#include "startup.h"

#include "main_frame.h"
#include "settings_store.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

int RunMarbleway(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Marbleway");
    MainFrame frame;
    try {
        frame.LoadSkin();
    } catch (const skin::SkinError& e) {
        std::fprintf(stderr, "Marbleway: %s\n", e.what());
        QMessageBox box(QMessageBox::Critical, "Marbleway",
                        QString("Marbleway cannot start: its skin is missing or broken.\n\n%1").arg(QString::fromUtf8(e.what())));
        box.exec();
        return 1;
    }
    SetUpIniFile();
    frame.show();
    return QApplication::exec();
}
