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
    transportStopThread(&m_audio.transport);
    m_chosen = name;
    start();
}

void LiveInput::start() {
    Transport& t = m_audio.transport;
    if (!isChosen() || transportIsRunning(&t) || m_audio.selection.dialogBusy)
        return;
    transportStopThread(&t); // collects a capture that ended by itself
    const std::string pcm = inputPcmName(m_chosen.toStdString());
    m_deviceInit = waveInitDevice(&m_audio.input, kWaveInput) == 1;
    StreamFormat format{};
    std::string reason = "no such input";
    const bool ok = m_deviceInit && waveSelectDeviceByName(&m_audio.input, pcm.c_str()) == 1 &&
                    inputChooseFormat(&m_audio.input, request, latency(), format, reason);
    if (ok &&
        meterSetFormat(m_engine, static_cast<float>(format.rate), inputMeteredChannels(format)) ==
            1 &&
        transportStartCapture(&t, &m_audio.input, request.pairA, request.pairB))
        return;
    if (ok)
        reason = "out of memory";
    std::fprintf(stderr, "korvalo-cor: cannot open audio device \"%s\": %s\n", pcm.c_str(),
                 reason.c_str());
    if (showFailure)
        showFailure(QStringLiteral("Cannot meter the input \"%1\":\n%2")
                        .arg(m_chosen, QString::fromStdString(reason)));
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
