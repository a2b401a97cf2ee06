// "Select Wav File" (command 30, F5): the file dialog, the format check and
// the "Sorry..." message, over the WAV source of the audio path.
//
// The dialog and the message go through replaceable functions so that tests
// can answer them; by default they are a QFileDialog and a QMessageBox.
// Thread: main thread only.
#pragma once

#include <QString>
#include <functional>
#include <memory>

class QFileDialog;
class QWidget;
struct AudioPath;

// The "Load a wave file" dialog, ready to run: its title and filters, one
// existing file to pick, and the name field started with "*.wav".
std::unique_ptr<QFileDialog> createWavFileDialog(QWidget* owner);

class WavSelector {
public:
    explicit WavSelector(AudioPath& audio);

    // The command: stops the stream, asks for a file and adopts it. Ignored
    // while the dialog is already open. Cancelling keeps the open file.
    // True when a file was chosen (whether or not it could be adopted).
    bool select(QWidget* owner);

    // Opens `path` as if it had been chosen in the dialog: an unreadable file
    // leaves no file open and shows nothing; another format shows the
    // message and brings the previous file back. True when `path` is now the
    // open file.
    bool adopt(const QString& path);

    // Returns the chosen path, or an empty string when the user cancels.
    std::function<QString(QWidget* owner)> chooseFile;
    // Shows "This Sound Format is not available !!!..." with caption "Sorry...".
    std::function<void()> showRejected;
    // Refreshes the control panel after a choice (also re-shows the meter window).
    std::function<void()> refreshPanel;

    static const char* const kTitle;
    static const char* const kFilters;
    static const char* const kRejectedText;
    static const char* const kRejectedCaption;

private:
    AudioPath& m_audio;
};
