// "Follow the Output Delay" (the meter window's context menu): while a file
// plays, the live sync delay follows what the output device reports as its
// delay (through the `pulse` plugin that includes the sound server's latency,
// and a Bluetooth output's), less the one block the meter's pacing already
// accounts for, so that the bars move with what is heard.
//
// About once a second while playing; the delay changes only when the target
// moves by more than 5 ms, clamped to the delay's range (0 to 2 s). Only the
// live parameter changes, never a stored value; the Delay Synchronization
// knob shows it; turning the knob by hand switches following off. A device
// that reports no delay changes nothing. Off by default; the switch is kept
// across starts.
//
// Thread: main thread; it only reads the device's last reported delay.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

struct AudioPath;
struct MeterEngine;

class OutputDelayFollower : public QObject {
public:
    static constexpr const char* kKey = "Zandel_Audio\\demo";
    static constexpr const char* kValue = "FollowOutputDelay";

    // Reads the stored switch.
    OutputDelayFollower(AudioPath& audio, MeterEngine** engine);

    bool following() const { return m_on; }
    // The menu item: switches and stores.
    void setFollowing(bool on);
    // The knob was turned by hand.
    void turnedByHand() { setFollowing(false); }

    // One look at the device's delay (the timer's; tests call it).
    void look();

    // The knob shows the new delay.
    std::function<void(float seconds)> showDelay;

private:
    AudioPath& m_audio;
    MeterEngine** m_engine;
    QTimer m_timer;
    bool m_on = false;
};
