// Questions to the sound server (PulseAudio, or PipeWire's Pulse server)
// through libpulse's introspection, the library ALSA's `pulse` plugin itself
// uses: whether a server answers, and the sample format of one of its
// sources, so that a capture through the plugin is opened at the source's own
// rate and nothing is resampled.
//
// Each call connects, asks and disconnects on the calling thread, waiting at
// most about two seconds for a server that does not answer. Main thread (or
// the headless analysis's thread); never the stream thread.
#pragma once

#include <string>

struct PulseSourceFormat {
    int rate = 0;     // Hz
    int channels = 0; // the source's own channel count
};

// True when a sound server accepts a connection.
bool pulseServerAnswers();

// The format of the named source ("@DEFAULT_MONITOR@", "@DEFAULT_SOURCE@", a
// source or monitor name). False with `error` set when there is no server or
// no such source.
bool pulseSourceFormat(const std::string& source, PulseSourceFormat& out, std::string& error);
