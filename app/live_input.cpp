#include "app/live_input.h"

#include "app/audio_wiring.h"
#include "audio/pulse_info.h"
#include "meter/meter_engine.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <cstdio>

namespace {

const char* const kDesktopText = "What the desktop plays";

} // namespace

LiveInput::LiveInput(AudioPath& audio, MeterEngine** engine) : m_audio(audio), m_engine(engine) {
    latency = [] { return 0.1f; };
    showFailure = [](const QString& text) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Sorry..."), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.exec();
    };
}

QString LiveInput::sourceText() const {
    if (m_chosen == QLatin1String(kMonitorInput))
        return QStringLiteral("Input: ") + QString::fromUtf8(kDesktopText);
    if (isChosen())
        return QStringLiteral("Input: ") + m_chosen;
    const QString path = QString::fromStdString(m_audio.selection.currentPath);
    return path.isEmpty() ? QStringLiteral("Wave file: none chosen (F5)")
                          : QStringLiteral("Wave file: ") + QFileInfo(path).fileName();
}

void LiveInput::choose(const QString& name) {
    Transport& t = m_audio.transport;
    // A capture holds the input's device record, so it stops first and comes
    // back should the new input fail; a playing file goes on until the new
    // input has opened.
    const bool capturing = isChosen() && transportIsRunning(&t);
    if (isChosen())
        transportStopThread(&t);
    StreamFormat format{};
    std::string reason;
    if (!open(name, format, reason)) {
        report(name, reason);
        if (capturing)
            start();
        return;
    }
    transportStopThread(&t);
    m_chosen = name;
    capture(format);
}

void LiveInput::chooseAtStart(const QString& name) {
    m_chosen = name;
    start();
}

void LiveInput::start() {
    Transport& t = m_audio.transport;
    if (!isChosen() || transportIsRunning(&t) || m_audio.selection.dialogBusy)
        return;
    transportStopThread(&t); // collects a capture that ended by itself
    StreamFormat format{};
    std::string reason;
    if (open(m_chosen, format, reason))
        capture(format);
    else
        report(m_chosen, reason);
}

bool LiveInput::open(const QString& name, StreamFormat& format, std::string& reason) {
    const std::string pcm = inputPcmName(name.toStdString());
    m_deviceInit = waveInitDevice(&m_audio.input, kWaveInput) == 1;
    reason = "no such input";
    return m_deviceInit && waveSelectDeviceByName(&m_audio.input, pcm.c_str()) == 1 &&
           inputChooseFormat(&m_audio.input, request, latency(), format, reason);
}

void LiveInput::capture(const StreamFormat& format) {
    if (meterSetFormat(m_engine, static_cast<float>(format.rate), inputMeteredChannels(format)) !=
            1 ||
        !transportStartCapture(&m_audio.transport, &m_audio.input, request.pairA, request.pairB))
        report(m_chosen, "out of memory");
}

void LiveInput::report(const QString& name, const std::string& reason) {
    std::fprintf(stderr, "korvalo-cor: cannot open audio device \"%s\": %s\n",
                 inputPcmName(name.toStdString()).c_str(), reason.c_str());
    if (showFailure)
        showFailure(QStringLiteral("Cannot meter the input \"%1\":\n%2")
                        .arg(name, QString::fromStdString(reason)));
}

void LiveInput::stop() {
    transportStopThread(&m_audio.transport);
}

void LiveInput::zero() {
    if (*m_engine)
        meterResetMax(*m_engine);
}

void LiveInput::useFile() {
    transportStopThread(&m_audio.transport);
    if (!isChosen())
        return;
    m_chosen.clear();
    m_audio.transport.input = nullptr;
    meterSetFormat(m_engine, 44100.0f, 2);
}

void LiveInput::release() {
    transportStopThread(&m_audio.transport);
    m_audio.transport.input = nullptr;
    if (m_deviceInit)
        waveReleaseDevice(&m_audio.input);
    m_deviceInit = false;
}

void LiveInput::fillMenu(QMenu* menu) {
    const auto add = [&](const QString& text, const QString& name) {
        QAction* a = menu->addAction(text);
        a->setCheckable(true);
        a->setChecked(name == m_chosen);
        QObject::connect(a, &QAction::triggered, menu, [this, name] { choose(name); });
    };
    if (pulseServerAnswers())
        add(QString::fromUtf8(kDesktopText), QString::fromLatin1(kMonitorInput));
    for (int i = 1; i <= waveDeviceCount(kWaveInput); ++i) {
        const DeviceEntry* e = waveDeviceAt(kWaveInput, i);
        if (std::string(e->pcmName) != kMonitorPcm)
            add(QString::fromLocal8Bit(e->name), QString::fromLocal8Bit(e->pcmName));
    }
}
