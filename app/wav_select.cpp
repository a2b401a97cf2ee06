#include "app/wav_select.h"

#include "app/audio_wiring.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

const char* const WavSelector::kTitle = "Load a wave file";
const char* const WavSelector::kFilters = "File WAVE (*.wav);;All (*.*)";
const char* const WavSelector::kRejectedText =
    "This Sound Format is not available !!!\n You may select a 16bits stereo 44100Hz Sound";
const char* const WavSelector::kRejectedCaption = "Sorry...";

std::unique_ptr<QFileDialog> createWavFileDialog(QWidget* owner) {
    auto dialog =
        std::make_unique<QFileDialog>(owner, QString::fromUtf8(WavSelector::kTitle), QString(),
                                      QString::fromUtf8(WavSelector::kFilters));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->selectFile(QStringLiteral("*.wav"));
    return dialog;
}

WavSelector::WavSelector(AudioPath& audio) : m_audio(audio) {
    chooseFile = [](QWidget* owner) {
        const std::unique_ptr<QFileDialog> dialog = createWavFileDialog(owner);
        dialog->setWindowModality(Qt::WindowModal); // blocks its owner's window only
        if (dialog->exec() != QDialog::Accepted)
            return QString();
        const QStringList files = dialog->selectedFiles();
        return files.isEmpty() ? QString() : files.first();
    };
    showRejected = [] {
        QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kRejectedCaption),
                        QString::fromUtf8(kRejectedText), QMessageBox::Ok,
                        QApplication::activeWindow());
        box.setWindowModality(Qt::WindowModal);
        box.exec();
    };
}

bool WavSelector::select(QWidget* owner) {
    WavSelection& sel = m_audio.selection;
    if (sel.dialogBusy)
        return false; // a second F5 while the dialog is open
    sel.dialogBusy = 1;
    transportStopThread(&m_audio.transport);
    // A selection leaves the stream stopped, and Play starts the file from its start.
    wavSeek(&m_audio.source, 0);
    const QString chosen = chooseFile ? chooseFile(owner) : QString();
    if (chosen.isEmpty()) {
        sel.dialogBusy = 0;
        return false;
    }
    adopt(chosen);
    sel.dialogBusy = 0;
    return true;
}

bool WavSelector::adopt(const QString& path) {
    WavSelection& sel = m_audio.selection;
    // The transport stays deaf while the message is up, as while the dialog is.
    const int wasBusy = sel.dialogBusy;
    sel.dialogBusy = 1;
    transportStopThread(&m_audio.transport);
    const QByteArray local = QFile::encodeName(path);
    const WavChoice choice = wavAdoptFile(&m_audio.source, &sel, local.constData());
    if (choice != WavChoice::Unreadable) {
        if (choice == WavChoice::Rejected && showRejected)
            showRejected();
        if (refreshPanel)
            refreshPanel();
    }
    sel.dialogBusy = wasBusy;
    return choice == WavChoice::Accepted;
}
