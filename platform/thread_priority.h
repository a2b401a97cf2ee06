// Real-time priority requests for the audio-paced threads.
//
// The stream thread asks for the highest real-time priority, the render
// thread for one just below it. Most desktop systems refuse real-time
// scheduling to ordinary users; the request is then silently dropped and the
// thread keeps running at its normal priority. Standard library and pthreads
// only, so the meter engine and the audio path use it without Qt.
//
// Thread: any; acts on the calling thread.
#pragma once

enum class ThreadPriority {
    Normal,       // the default time-sharing policy
    Highest,      // real-time, below TimeCritical
    TimeCritical, // real-time, the highest level
};

// Requests `priority` for the calling thread. Returns true when the system
// granted it, false when it refused (nothing changes then).
bool setCurrentThreadPriority(ThreadPriority priority);
