#include "display/scale_marks.h"

#include <algorithm>
#include <cmath>

const float kScaleStepDivisors[32] = {2, 2, 2, 2, 2, 2, 3, 2, 5, 2, 5, 2, 5, 2, 5, 2,
                                      2, 5, 2, 5, 2, 5, 2, 5, 2, 5, 2, 5, 2, 5, 2, 5};

namespace {

// Bounds every loop below: a degenerate range (a hand-edited settings file can
// hold almost anything) must cost a few marks, not minutes.
constexpr int kMaxPasses = 4000;

constexpr float kVuMarks[11] = {12, 6, 3, 2, 1, 0, -3, -5, -7, -10, -20};

// Pixel height of a raw product, truncated and clamped. Products are formed
// in double from float operands: the float factors are what the meter stores,
// the wider product keeps values such as 46 x (300 / 46) just below 300 rather
// than rounding them up onto the next pixel.
int truncPx(double x) {
    if (!(x == x))
        return 0;
    if (x > 1e9)
        return 1000000000;
    if (x < -1e9)
        return -1000000000;
    return static_cast<int>(x);
}

double wide(float x) {
    return static_cast<double>(x);
}

void addEnds(ScalePlan& plan, int H, float minDb, float maxDb) {
    plan.marks.push_back({MarkStyle::BottomEnd, 0, minDb});
    plan.marks.push_back({MarkStyle::TopEnd, H - 1, maxDb});
}

// Which labels go first when two would crowd each other: the ends of a
// scale (its zero line and its top, H), then step marks, then midpoints.
int labelRank(const ScaleMark& m, int H) {
    switch (m.style) {
    case MarkStyle::BottomEnd:
    case MarkStyle::TopEnd:
        return 0;
    case MarkStyle::CorrMajor:
    case MarkStyle::Angle:
        return m.p == 0 || m.p == H ? 0 : 1;
    case MarkStyle::Major:
        return 1;
    case MarkStyle::Half:
    case MarkStyle::CorrHalf:
        return 2;
    case MarkStyle::Minor:
    case MarkStyle::CorrMinor:
        break;
    }
    return -1;
}

// Unlabels every mark whose label would come closer than kScaleLabelGap rows
// to a label of higher rank (or of the same rank earlier in the plan). The
// rows taken are kept in a map over the scale's height and a margin.
void keepLabelsApart(ScalePlan& plan, int H) {
    constexpr int kMargin = 32; // labels reach at most 16 rows past either end
    std::vector<char> taken(static_cast<size_t>(H) + 2 * kMargin, 0);
    for (int rank = 0; rank <= 2; ++rank) {
        for (ScaleMark& m : plan.marks) {
            if (labelRank(m, H) != rank || !m.labelled)
                continue;
            const LabelSpan s = scaleLabelSpan(m);
            const int lo = s.low - kScaleLabelGap + kMargin;
            const int hi = s.high + kScaleLabelGap + kMargin;
            bool free = lo >= 0 && hi < static_cast<int>(taken.size());
            for (int r = lo; free && r <= hi; ++r)
                free = taken[static_cast<size_t>(r)] == 0;
            if (!free) {
                m.labelled = rank == 0; // the ends stay whatever happens
                continue;
            }
            for (int r = s.low; r <= s.high; ++r)
                taken[static_cast<size_t>(r + kMargin)] = 1;
        }
    }
}

} // namespace

LabelSpan scaleLabelSpan(const ScaleMark& m) {
    // Label boxes relative to the mark's screen row y: text rows y + a to y + b.
    int a = 0, b = -1;
    switch (m.style) {
    case MarkStyle::Half:
        a = 0, b = 11; // box (y, y + 18), font 3
        break;
    case MarkStyle::Major:
    case MarkStyle::BottomEnd:
        a = 0, b = 13; // box (y, y + 18), font 4
        break;
    case MarkStyle::TopEnd:
        a = -15, b = -2; // box (y - 15, y), font 4
        break;
    case MarkStyle::CorrHalf:
        a = -5, b = 6; // box (y - 5, y + 18), font 2
        break;
    case MarkStyle::CorrMajor:
    case MarkStyle::Angle:
        a = -7, b = 6; // box (y - 7, y + 18), font 4
        break;
    case MarkStyle::Minor:
    case MarkStyle::CorrMinor:
        return {0, -1};
    }
    // Screen rows grow downwards, heights upwards.
    return {m.p - b, m.p - a};
}

int scalePixel(float x, float lo, float k) {
    return truncPx((wide(x) - wide(lo)) * wide(k));
}

float dbScaleStep(int H, float minDb, float maxDb) {
    const float k = static_cast<float>(H) / (maxDb - minDb);
    float r = 192.0f;
    int i = 0;
    while (truncPx(wide(r) * wide(k)) > 120 && i < 31) {
        ++i;
        r /= kScaleStepDivisors[i];
    }
    if (truncPx(wide(r) * wide(k)) < 60)
        r *= kScaleStepDivisors[i];
    return r;
}

float correlatorScaleStep(int H) {
    const float half = static_cast<float>(H) * 0.5f;
    float f = 1.0f;
    int i = 0;
    while (truncPx(wide(half) * wide(f)) > 160 && 16 + i < 31) {
        ++i;
        f /= kScaleStepDivisors[16 + i];
    }
    if (truncPx(wide(half) * wide(f)) < 80)
        f *= kScaleStepDivisors[16 + i];
    return f;
}

ScalePlan dbScalePlan(int H, float minDb, float maxDb) {
    ScalePlan plan;
    if (H < 1)
        return plan;
    if (!(maxDb > minDb)) {
        addEnds(plan, H, minDb, maxDb);
        return plan;
    }
    const float k = static_cast<float>(H) / (maxDb - minDb);
    const float t = dbScaleStep(H, minDb, maxDb);
    plan.step = t;
    // Mark values are start + n steps rather than a running sum, so that a
    // fractional step cannot drift a mark onto a neighbouring pixel.
    float start = std::trunc(minDb / 192.0f) * 192.0f - 192.0f;
    // Passes whose whole interval lies below the zero line draw nothing; skip
    // them in one go when a tiny step would make them many.
    const float below = std::floor((minDb - t - start) / t);
    if (below > kMaxPasses / 2)
        start += below * t;
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        const float v = start + static_cast<float>(pass) * t;
        const int p = scalePixel(v, minDb, k);
        if (p > 10 && p < H)
            plan.marks.push_back({MarkStyle::Major, p, v});
        const float from = v - t;
        for (int j = 1; j <= 9; ++j) {
            const int pm = scalePixel(from + static_cast<float>(j) * t / 10.0f, minDb, k);
            if (pm > 0 && pm < p && pm < H)
                plan.marks.push_back({MarkStyle::Minor, pm, 0});
        }
        const float mid = v - t / 2.0f;
        const int ph = scalePixel(mid, minDb, k);
        if (ph > 10 && ph < p && ph < H)
            plan.marks.push_back({MarkStyle::Half, ph, mid});
        if (p >= H)
            break;
    }
    addEnds(plan, H, minDb, maxDb);
    keepLabelsApart(plan, H);
    return plan;
}

ScalePlan linearScalePlan(int H, float minDb, float maxDb) {
    ScalePlan plan;
    if (H < 1)
        return plan;
    const float lo = std::pow(10.0f, minDb / 20.0f);
    const float hi = std::pow(10.0f, maxDb / 20.0f);
    if (!(hi > lo) || !std::isfinite(hi)) {
        addEnds(plan, H, minDb, maxDb);
        return plan;
    }
    const float k = static_cast<float>(H) / (hi - lo);

    float u = std::trunc(lo * 10.0f) * 0.1f;
    int q = std::max(0, scalePixel(u, lo, k));
    for (int pass = 0; u < hi && pass < kMaxPasses; ++pass) {
        const float n = u + 0.1f;
        const int p = std::min(H, scalePixel(n, lo, k));
        plan.ruler.push_back({q, p, n > 1.05f});
        u = n;
        q = p;
    }

    int lastMinor = -1000000;
    float db = minDb + 0.2f;
    for (int pass = 0; db < maxDb && pass < kMaxPasses; ++pass) {
        const int p = scalePixel(std::pow(10.0f, db / 20.0f), lo, k);
        if (p > 0 && p < H && p > lastMinor + 3) {
            plan.marks.push_back({MarkStyle::Minor, p, 0});
            lastMinor = p;
        }
        db += 0.2f;
    }

    int lastVu = H;
    for (float mark : kVuMarks) {
        const int p = scalePixel(std::pow(10.0f, mark / 20.0f), lo, k);
        if (p > 0 && p < H && p < lastVu - 20) {
            plan.marks.push_back({MarkStyle::Major, p, mark});
            lastVu = p;
        }
    }
    addEnds(plan, H, minDb, maxDb);
    keepLabelsApart(plan, H);
    return plan;
}

ScalePlan correlatorScalePlan(int H) {
    ScalePlan plan;
    if (H < 1)
        return plan;
    const float half = static_cast<float>(H) * 0.5f;
    const float s = correlatorScaleStep(H);
    plan.step = s;
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        const float l = -1.0f + static_cast<float>(pass) * s;
        const int p = truncPx(wide(half) * (wide(l) + 1.0));
        if (p > 10 && p < H)
            plan.marks.push_back({MarkStyle::CorrMajor, p, l});
        const float from = l - s;
        for (int j = 1; j <= 9; ++j) {
            const int pm =
                truncPx(wide(half) * (wide(from + static_cast<float>(j) * s / 10.0f) + 1.0));
            if (pm > 0 && pm < p && pm < H)
                plan.marks.push_back({MarkStyle::CorrMinor, pm, 0});
        }
        const float mid = l - s / 2.0f;
        const int ph = truncPx(wide(half) * (wide(mid) + 1.0));
        if (ph > 10 && ph < p && ph < H)
            plan.marks.push_back({MarkStyle::CorrHalf, ph, mid});
        if (p >= H)
            break;
    }
    plan.marks.push_back({MarkStyle::CorrMajor, 0, -1.0f});
    plan.marks.push_back({MarkStyle::CorrMajor, H, 1.0f});
    keepLabelsApart(plan, H);
    return plan;
}

ScalePlan phaseAngleScalePlan(int H) {
    ScalePlan plan;
    if (H < 1)
        return plan;
    const float half = static_cast<float>(H) * 0.5f;
    const float at[5] = {0.0f, 0.5f, 1.0f, 1.5f, 2.0f};
    const float label[5] = {180, 120, 90, 60, 0};
    for (int i = 0; i < 5; ++i)
        plan.marks.push_back({MarkStyle::Angle, truncPx(wide(half) * wide(at[i])), label[i]});
    keepLabelsApart(plan, H);
    return plan;
}
