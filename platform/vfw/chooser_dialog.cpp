#include "chooser_dialog.h"

#include "platform/ui/qt_plugin.h"

#include <QApplication>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWidget>

namespace vfw {

ChooserAnswer RunChooserDialog(const ChooserRequest& request, const char* title) {
    QWidget* owner = request.owner ? QWidget::find(static_cast<WId>(request.owner)) : nullptr;
    QDialog dialog(owner ? owner->window() : nullptr);
    dialog.setObjectName("VideoCompressionDialog");
    dialog.setWindowTitle(title && *title ? QString::fromUtf8(title) : QStringLiteral("Video Compression"));

    auto* compressors = new QComboBox(&dialog);
    compressors->setObjectName("compressor");
    compressors->addItem(QStringLiteral("Full Frames (Uncompressed)"), -1);
    for (std::size_t i = 0; i < request.compressors.size(); ++i)
        compressors->addItem(QString::fromStdString(request.compressors[i].description), static_cast<int>(i));
    compressors->setCurrentIndex(request.compressors.empty() ? 0 : 1);

    auto* keyFrame = new QCheckBox(QStringLiteral("Key frame every"), &dialog);
    keyFrame->setObjectName("keyFrameEnabled");
    auto* keyFrames = new QSpinBox(&dialog);
    keyFrames->setObjectName("keyFrames");
    keyFrames->setRange(1, 9999);
    keyFrames->setValue(kDefaultKeyFrames);
    keyFrames->setSuffix(QStringLiteral(" frames"));
    keyFrame->setChecked(true);

    auto* dataRate = new QCheckBox(QStringLiteral("Data rate"), &dialog);
    dataRate->setObjectName("dataRateEnabled");
    auto* dataRateKbps = new QSpinBox(&dialog);
    dataRateKbps->setObjectName("dataRate");
    dataRateKbps->setRange(64, 50000);
    dataRateKbps->setSingleStep(100);
    dataRateKbps->setValue(kDefaultDataRateKbps);
    dataRateKbps->setSuffix(QStringLiteral(" kbit/s"));
    dataRate->setChecked(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Compressor:"), compressors);
    if (request.keyFrameControl) form->addRow(keyFrame, keyFrames);
    else { keyFrame->hide(); keyFrames->hide(); }
    if (request.dataRateControl) form->addRow(dataRate, dataRateKbps);
    else { dataRate->hide(); dataRateKbps->hide(); }

    const auto syncEnabled = [&] {
        const bool real = compressors->currentData().toInt() >= 0;
        keyFrame->setEnabled(real);
        dataRate->setEnabled(real);
        keyFrames->setEnabled(real && keyFrame->isChecked());
        dataRateKbps->setEnabled(real && dataRate->isChecked());
    };
    QObject::connect(compressors, &QComboBox::currentIndexChanged, &dialog, syncEnabled);
    QObject::connect(keyFrame, &QCheckBox::toggled, &dialog, syncEnabled);
    QObject::connect(dataRate, &QCheckBox::toggled, &dialog, syncEnabled);
    syncEnabled();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);

    ChooserAnswer answer;
    answer.accepted = dialog.exec() == QDialog::Accepted;
    answer.index = compressors->currentData().toInt();
    answer.keyFrames = keyFrame->isChecked() ? keyFrames->value() : 0;
    answer.dataRateKbps = dataRate->isChecked() ? dataRateKbps->value() : 0;
    return answer;
}

} // namespace vfw

UI_QT_PLUGIN_EXPORT int VfwQtChooserDialog(const vfw::ChooserRequest* request, const char* title,
                                           vfw::ChooserAnswer* answer) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return 0;
    *answer = vfw::RunChooserDialog(*request, title);
    return 1;
}
