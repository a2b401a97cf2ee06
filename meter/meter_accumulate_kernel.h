// The accumulation kernel, compiled once per lane width: each source that
// includes this file first defines, in its own unnamed namespace, the eight
// float lanes `Vec` with vzero, vadd, vmul, vabs, vload, vstore, vloadStereo
// (eight interleaved stereo frames into left and right) and vloadMono (eight
// mono samples), all in 16-bit sample units, and a running maximum `Peak` with
// peakZero, peakOf (the maximum so far and eight more values) and peakMax (the
// maximum as one float); the largest value is the same whatever the order. Whatever the
// width, lane k sums the frames k, k + 8, ... of a run and the lanes are
// joined in one fixed order, so every build gives the same sums.
//
// Delay lines: per sample frame the new sample is written before the delayed
// one is read (a delay of 0 reads the sample just written). A block is cut
// into runs in which neither ring position wraps; within a run the frames go
// in groups of eight, each group either writing all its new samples before
// reading the delayed ones (write-first) or the reverse (read-first). Where
// the write position runs d entries ahead of the read position, the read at
// step i must see the write of step i - d: read-first would miss it when
// 0 < d < 8. Where the read position runs ahead, by size - d, the read at
// step i must see the old value that step i + size - d overwrites:
// write-first would clobber it when size - d < 8. So a delay of 0 only writes
// the ring (the delayed sample is the new one), delays below half the ring
// write first and longer ones read first. A ring too short for both rules
// (under 16 entries) is cut into runs shorter than eight frames wherever its
// rule would fail.
//
// No include guard: included once by each accumulation source.

#include "meter/meter_engine_record.h"

#include <algorithm>
#include <cstring>

namespace {

// Sums are formed in 16-bit sample units and scaled once per block: scaling
// by a power of two is exact, so these are the very sums of the scaled
// samples. The delay lines hold samples in the same units.
constexpr float kSampleScale = 0x1p-15f; // full scale 1.0
constexpr float kSquareScale = 0x1p-30f;

inline float sampleAt(const unsigned char* p) {
    int16_t s;
    std::memcpy(&s, p, sizeof s);
    return static_cast<float>(s);
}

// Lanes joined in a fixed order: 0+4, 1+5, 2+6, 3+7, then pairwise.
inline float laneSum(Vec a) {
    float f[8];
    vstore(f, a);
    const float s0 = f[0] + f[4], s1 = f[1] + f[5], s2 = f[2] + f[6], s3 = f[3] + f[7];
    return (s0 + s2) + (s1 + s3);
}

// ---- Lane sums -------------------------------------------------------------

struct ChannelLanes {
    Peak peak;
    Vec sumAbs;
    Vec sumSquares;
};

struct Lanes {
    ChannelLanes ch[2];
    Vec cross;
};

inline void addChannel(ChannelLanes& c, Vec x) {
    const Vec a = vabs(x);
    c.peak = peakOf(c.peak, a);
    c.sumAbs = vadd(c.sumAbs, a);
    c.sumSquares = vadd(c.sumSquares, vmul(x, x));
}

template <bool Stereo> inline void addFrames(Lanes& s, Vec l, Vec r) {
    addChannel(s.ch[0], l);
    if constexpr (Stereo) {
        addChannel(s.ch[1], r);
        s.cross = vadd(s.cross, vmul(l, r));
    }
}

// ---- Delay lines -----------------------------------------------------------

// How a channel's ring is used within a run (see the top of this file).
enum class Order { Direct, WriteFirst, ReadFirst };

// One channel's ring position within a run: new samples go to `write`,
// delayed ones come from `read`.
struct RingRun {
    float* write;
    const float* read;
};

// Puts eight new samples into the ring and returns the eight delayed ones.
template <Order O> inline Vec passEight(const RingRun& ring, uint32_t i, Vec fresh) {
    if constexpr (O == Order::Direct) {
        vstore(ring.write + i, fresh);
        return fresh;
    } else if constexpr (O == Order::WriteFirst) {
        vstore(ring.write + i, fresh);
        return vload(ring.read + i);
    } else {
        const Vec delayed = vload(ring.read + i);
        vstore(ring.write + i, fresh);
        return delayed;
    }
}

template <Order O> inline float passOne(const RingRun& ring, uint32_t i, float fresh) {
    if constexpr (O == Order::Direct) {
        ring.write[i] = fresh;
        return fresh;
    } else if constexpr (O == Order::WriteFirst) {
        ring.write[i] = fresh;
        return ring.read[i];
    } else {
        const float delayed = ring.read[i];
        ring.write[i] = fresh;
        return delayed;
    }
}

// One run of `m` sample frames in which no ring position wraps. `p` holds
// interleaved 16-bit samples, one (mono) or two (stereo) per frame. The sums
// are kept in locals so that they stay in registers.
template <bool Stereo, Order OL, Order OR>
void accumulateRun(const unsigned char* p, uint32_t m, RingRun left, RingRun right, Lanes& sums) {
    constexpr uint32_t frameBytes = Stereo ? 4 : 2;
    Lanes s = sums;
    uint32_t i = 0;
    for (; i + 8 <= m; i += 8) {
        Vec l, r = vzero();
        if constexpr (Stereo) {
            vloadStereo(p + i * frameBytes, l, r);
            r = passEight<OR>(right, i, r);
        } else {
            l = vloadMono(p + i * frameBytes);
        }
        l = passEight<OL>(left, i, l);
        addFrames<Stereo>(s, l, r);
    }
    if (i < m) {
        // The last frames, padded with silence, which adds nothing.
        float l[8] = {};
        float r[8] = {};
        for (uint32_t k = 0; i + k < m; ++k) {
            const unsigned char* frame = p + (i + k) * frameBytes;
            l[k] = passOne<OL>(left, i + k, sampleAt(frame));
            if constexpr (Stereo) {
                r[k] = passOne<OR>(right, i + k, sampleAt(frame + 2));
            }
        }
        addFrames<Stereo>(s, vload(l), vload(r));
    }
    sums = s;
}

// A channel's ring for one block: positions, and the order its delay needs.
struct Ring {
    float* data;
    uint32_t size;
    uint32_t write;
    uint32_t read;
    Order order;

    explicit Ring(const DelayLine& line)
        : data(line.data.get()), size(line.size), write(line.write), read(line.read) {
        const uint32_t d = write >= read ? write - read : write + size - read;
        order = d == 0 ? Order::Direct : d < size - d ? Order::WriteFirst : Order::ReadFirst;
    }
    uint32_t untilWrap() const { return std::min(size - write, size - read); }
    RingRun run() const { return {data + write, data + read}; }
    void advance(uint32_t m) {
        write += m;
        read += m;
        write = write == size ? 0 : write;
        read = read == size ? 0 : read;
    }
    void store(DelayLine& line) const {
        line.write = write;
        line.read = read;
    }
};

template <bool Stereo, Order OL, Order OR>
void accumulateRuns(const unsigned char* p, uint32_t frames, Ring& left, Ring& right, Lanes& s) {
    constexpr uint32_t frameBytes = Stereo ? 4 : 2;
    while (frames > 0) {
        uint32_t m = std::min(frames, left.untilWrap());
        if constexpr (Stereo) {
            m = std::min(m, right.untilWrap());
        }
        accumulateRun<Stereo, OL, OR>(p, m, left.run(), Stereo ? right.run() : RingRun{}, s);
        p += static_cast<size_t>(m) * frameBytes;
        left.advance(m);
        if constexpr (Stereo) {
            right.advance(m);
        }
        frames -= m;
    }
}

using RunsFn = void (*)(const unsigned char*, uint32_t, Ring&, Ring&, Lanes&);

template <bool Stereo, Order OL> RunsFn pickRight(Order right) {
    switch (right) {
    case Order::Direct:
        return &accumulateRuns<Stereo, OL, Order::Direct>;
    case Order::WriteFirst:
        return &accumulateRuns<Stereo, OL, Order::WriteFirst>;
    case Order::ReadFirst:
        break;
    }
    return &accumulateRuns<Stereo, OL, Order::ReadFirst>;
}

template <bool Stereo> RunsFn pickRuns(Order left, Order right) {
    switch (left) {
    case Order::Direct:
        return pickRight<Stereo, Order::Direct>(right);
    case Order::WriteFirst:
        return pickRight<Stereo, Order::WriteFirst>(right);
    case Order::ReadFirst:
        break;
    }
    return pickRight<Stereo, Order::ReadFirst>(right);
}

void joinLanes(const ChannelLanes& c, MeterChannelSums& acc) {
    const float peak = peakMax(c.peak) * kSampleScale;
    acc.peak = peak > acc.peak ? peak : acc.peak;
    acc.sumAbs += laneSum(c.sumAbs) * kSampleScale;
    acc.sumSquares += laneSum(c.sumSquares) * kSquareScale;
}

// The whole of meterAccumulate for this lane width.
void accumulateBlock(MeterEngine* e, const unsigned char* samples, uint32_t frames,
                     uint32_t stride) {
    const bool stereo = e->channels > 1;
    Ring left(e->delay[0]);
    Ring right = stereo ? Ring(e->delay[1]) : left;
    Lanes s;
    s.ch[0] = s.ch[1] = {peakZero(), vzero(), vzero()};
    s.cross = vzero();

    if (!stereo) {
        // Mono blocks hold one sample per frame.
        pickRuns<false>(left.order, Order::Direct)(samples, frames, left, right, s);
    } else if (stride == 2) {
        pickRuns<true>(left.order, right.order)(samples, frames, left, right, s);
    } else {
        // More than two channels: the first two samples of each frame are
        // gathered in short pieces.
        const RunsFn runs = pickRuns<true>(left.order, right.order);
        int16_t piece[512];
        while (frames > 0) {
            const uint32_t m = std::min<uint32_t>(frames, 256);
            for (uint32_t i = 0; i < m; ++i) {
                std::memcpy(&piece[2 * i], samples + static_cast<size_t>(i) * stride * 2, 4);
            }
            runs(reinterpret_cast<const unsigned char*>(piece), m, left, right, s);
            samples += static_cast<size_t>(m) * stride * 2;
            frames -= m;
        }
    }

    left.store(e->delay[0]);
    joinLanes(s.ch[0], e->acc[0]);
    if (stereo) {
        right.store(e->delay[1]);
        joinLanes(s.ch[1], e->acc[1]);
        e->crossSum += laneSum(s.cross) * kSquareScale;
    }
}

} // namespace
