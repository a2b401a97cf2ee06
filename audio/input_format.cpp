#include "audio/input_format.h"

#include "audio/alsa_driver.h"
#include "audio/pulse_info.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

std::string inputPcmName(const std::string& name) {
    return name == kMonitorInput ? std::string(kMonitorPcm) : name;
}

std::string inputServerSource(const std::string& pcm) {
    if (pcm == "pulse")
        return "@DEFAULT_SOURCE@";
    for (const char* prefix : {"pulse:DEVICE=", "pulse:"}) {
        const std::string p = prefix;
        if (pcm.rfind(p, 0) == 0 && pcm.size() > p.size())
            return pcm.substr(p.size(), pcm.find(',', p.size()) - p.size());
    }
    // A desktop's "default" is usually the plugin in front of the server.
    if (pcm == "default" && alsaIsPlugin(kWaveInput, "default") && pulseServerAnswers())
        return "@DEFAULT_SOURCE@";
    return {};
}

bool inputParsePair(const std::string& text, int& a, int& b) {
    const size_t comma = text.find(',');
    if (comma == std::string::npos)
        return false;
    const std::string first = text.substr(0, comma), second = text.substr(comma + 1);
    char* end1 = nullptr;
    char* end2 = nullptr;
    const long x = std::strtol(first.c_str(), &end1, 10);
    const long y = std::strtol(second.c_str(), &end2, 10);
    if (first.empty() || second.empty() || *end1 || *end2 || x < 1 || y < 1 || x > 64 || y > 64)
        return false;
    a = static_cast<int>(x);
    b = static_cast<int>(y);
    return true;
}

namespace {

void addOnce(std::vector<int>& v, int x) {
    if (x > 0 && std::find(v.begin(), v.end(), x) == v.end())
        v.push_back(x);
}

} // namespace

bool inputChooseFormat(WaveDevice* d, const InputRequest& request, float latencySeconds,
                       StreamFormat& out, std::string& error) {
    if (!d || !d->entry.backend) {
        error = "no such input";
        return false;
    }
    const std::string pcm = d->entry.pcmName;
    std::vector<int> rates, channels;
    const int needed = std::max(request.pairA, request.pairB);
    PulseSourceFormat server;
    const std::string source = inputServerSource(pcm);
    if (!source.empty() && !pulseSourceFormat(source, server, error))
        return false;
    StreamFormat offered{};
    const bool hasOffer =
        d->entry.backend->offer && d->entry.backend->offer(d->kind, pcm.c_str(), 2, &offered);
    if (request.rate > 0) {
        rates.push_back(request.rate);
    } else {
        addOnce(rates, server.rate);
        addOnce(rates, 48000);
        addOnce(rates, 44100);
        if (hasOffer)
            addOnce(rates, offered.rate);
    }
    if (needed <= 2) {
        if (server.channels == 1)
            addOnce(channels, 1);
        addOnce(channels, 2);
        addOnce(channels, 1);
    }
    addOnce(channels, needed > 2 ? needed : 0);
    if (hasOffer && offered.channels >= needed)
        addOnce(channels, offered.channels);
    for (int c : channels) {
        for (int r : rates) {
            const StreamFormat f{r, c, 2};
            if (waveQueryFormat(d, &f) == 1) {
                out = f;
                waveConfigureLatency(d, &out, latencySeconds);
                return true;
            }
        }
    }
    error = waveErrorText(d)[0] ? waveErrorText(d) : "no 16-bit format is accepted";
    return false;
}

int inputMeteredChannels(const StreamFormat& format) {
    return format.channels == 1 ? 1 : 2;
}

void inputPickPair(const int16_t* in, int channels, int a, int b, uint32_t frames, int16_t* out) {
    const size_t n = static_cast<size_t>(channels);
    const int left = std::clamp(a, 1, channels) - 1, right = std::clamp(b, 1, channels) - 1;
    for (uint32_t i = 0; i < frames; ++i) {
        out[2 * i] = in[i * n + static_cast<size_t>(left)];
        out[2 * i + 1] = in[i * n + static_cast<size_t>(right)];
    }
}
