// Real-time priority requests for the audio-paced threads.
//
// The stream thread asks for the highest real-time priority, the render
// thread for one just below it. Most desktop systems refuse real-time
// scheduling to ordinary users; the request is then silently dropped and the
// thread keeps running at its normal priority. Standard library and pthreads
// only, so the meter engine and the audio path use it without Qt.
//
// A granted request also moves the thread onto the one core that all the
// process's real-time threads share (the core the first of them was running
// on). They hand work to each other at every block: the driver thread wakes
// the stream thread, the stream thread the render thread. The real-time
// scheduler wakes a thread on the core it last ran on, so on separate cores
// every hand-off wakes an idle core, which costs more than the woken
// thread's own work (on a virtual machine, a trip through the hypervisor);
// on one core it is a plain switch. Together the threads use a few per cent
// of a core, and at real-time priority nothing else on it holds them up.
// Threads they start inherit the core. `Normal` gives the thread back the
// cores it had before. A refused request moves nothing: at normal priority
// the scheduler already wakes a thread near its waker, and a pinned thread
// could wait behind a busy core.
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
