// The live input as the program's source: which input is chosen, starting
// and stopping its capture into the meter engine, the "Meter an Input..."
// list, and the way back to the file.
//
// With an input chosen, F1 captures and F2 stops; F4 restarts the maxima and
// keeps capturing; F5 stops and asks for a file (the audio part's business).
// Capturing sets the engine to the input's rate and channel count; going back
// to the file sets it to the file's 44100 Hz stereo again. An input that
// cannot be opened is named on standard error and in a message box, and
// nothing else changes. A capture whose device fails (the sound server gone)
// ends by itself; the input stays chosen and F1 tries it again.
//
// Thread: main thread only; the capture runs on the transport's stream thread.
#pragma once

#include "audio/input_format.h"

#include <QString>
#include <functional>

class QMenu;
struct AudioPath;
struct MeterEngine;

class LiveInput {
public:
    LiveInput(AudioPath& audio, MeterEngine** engine);

    // The input's name as given ("monitor", an ALSA PCM name); empty while
    // the file is the source.
    const QString& chosen() const { return m_chosen; }
    bool isChosen() const { return !m_chosen.isEmpty(); }
    // The source as people read it, for the meter window's tooltip.
    QString sourceText() const;

    // Makes `name` the source and starts capturing it (whatever ran stops).
    // One that cannot be opened is reported and leaves the source as it was,
    // still running if it ran.
    void choose(const QString& name);
    // `--input`: the input is the source even should it not open yet; F1
    // then tries it again.
    void chooseAtStart(const QString& name);
    // F1: captures the chosen input, unless it already does.
    void start();
    void stop();
    // F4: the maxima start again; the capture goes on.
    void zero();
    // The file is the source again (stopped).
    void useFile();
    // Shut-down: after the stream has stopped.
    void release();

    // "What the desktop plays" when a sound server answers, then the inputs
    // of the device list; the chosen one checked.
    void fillMenu(QMenu* menu);

    // --rate and --channels.
    InputRequest request;
    // The block length comes from the program's latency.
    std::function<float()> latency;
    // A message box with the text (tests replace it).
    std::function<void(const QString& text)> showFailure;

private:
    // The device record set up for `name` and its format chosen; nothing starts.
    bool open(const QString& name, StreamFormat& format, std::string& reason);
    void capture(const StreamFormat& format);
    void report(const QString& name, const std::string& reason);

    AudioPath& m_audio;
    MeterEngine** m_engine;
    QString m_chosen;
    bool m_deviceInit = false;
};
