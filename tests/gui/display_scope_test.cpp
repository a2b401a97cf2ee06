// Pixels of the X/Y scope: generated signals go through the scope ring and
// are drawn frame by frame as the render thread draws them.
#include "controls/ctl_core.h"
#include "display/glyph_atlas.h"
#include "display/meter_surface.h"
#include "display/xy_scope_painter.h"
#include "meter/meter_scope_ring.h"
#include "options/meter_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <vector>

// Counted by display_render_test.cpp's operator new.
extern std::atomic<bool> countAllocations;
extern std::atomic<int> allocations;

namespace {

constexpr int kSize = 300;
constexpr double kRate = 44100.0;
constexpr int kPairsPerFrame = 1470; // 30 frames per second
constexpr double kAmp = 16384.0;     // -6 dBFS

using Signal = std::function<void(uint64_t g, double& l, double& r)>;

double sine(uint64_t g) {
    return std::sin(2.0 * M_PI * 431.7 * static_cast<double>(g) / kRate); // fills the line
}

class ScopeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ctlInitialize("Korvalo Cor.");
        LoadMeterSettings("Korvalo Cor");
        defaults = xyScopeLook(GetMeterSettings()->colorSet.load()->values);
    }
    static void TearDownTestSuite() {
        ReleaseMeterSettings();
        ctlShutdown();
    }
    void start(double ratio = 1.0) {
        ring = std::make_unique<MeterScopeRing>();
        state = {};
        surface = std::make_unique<MeterSurface>();
        surface->resize(kSize, kSize, ratio);
        face = QImage(kSize * ratio, kSize * ratio, QImage::Format_RGB32);
        face.setDevicePixelRatio(ratio);
        xyScopePaintFace(face, kSize, kSize);
        QImage picture = face.copy();
        std::lock_guard<std::mutex> guard(surface->lock);
        surface->adopt(picture);
        glyphs = std::make_unique<GlyphAtlas>(ctlMakeFont(14, 400), ratio);
    }
    // `seconds` of the signal in frames of 1/30 s, each drawn as the render
    // thread draws it.
    void play(const Signal& signal, double seconds) {
        std::vector<int16_t> pairs(2 * kPairsPerFrame);
        for (int frame = 0; frame < std::lround(seconds * 30); ++frame) {
            for (int i = 0; i < kPairsPerFrame; ++i) {
                double l = 0, r = 0;
                signal(g++, l, r);
                pairs[2 * i] = static_cast<int16_t>(std::lround(l));
                pairs[2 * i + 1] = static_cast<int16_t>(std::lround(r));
            }
            ring->append(pairs.data(), kPairsPerFrame, static_cast<float>(kRate));
            drawFrame();
        }
    }
    void drawFrame() {
        std::lock_guard<std::mutex> guard(surface->lock);
        xyScopeUpdateRange(state, *ring, ring->end(), look.rangeRelease);
        xyScopeDrawTrace(*surface, face, state, *ring, ring->end(), look, glyphs.get());
    }
    // Device pixels that differ from the graticule, outside the range text's
    // corner, as offsets from the centre (y up), with their colours.
    struct Lit {
        int dx, dy;
        uint32_t color;
        double r() const { return std::hypot(dx, dy); }
    };
    std::vector<Lit> lit() {
        const QImage shot = surface->snapshot();
        const int half = shot.width() / 2;
        std::vector<Lit> out;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (shot.pixel(x, y) != face.pixel(x, y) && !(y < shot.height() / 12 && x < half))
                    out.push_back({x - half, half - y, shot.pixel(x, y)});
        return out;
    }
    Lit farthest() {
        Lit best{0, 0, 0};
        for (const Lit& p : lit())
            best = p.r() > best.r() ? p : best;
        return best;
    }

    static inline XyScopeLook defaults;
    XyScopeLook look = defaults;
    std::unique_ptr<MeterScopeRing> ring;
    std::unique_ptr<MeterSurface> surface;
    std::unique_ptr<GlyphAtlas> glyphs;
    QImage face;
    XyTraceState state;
    uint64_t g = 0;
};

// Mid up, side across, at both densities: a sine of gains (left, right) lies
// on its line through the centre (the left channel alone up and to the left)
// and noise fills all four quadrants; a frame allocates nothing.
TEST_F(ScopeTest, EachStereoImageLandsWhereTheGoniometerShowsIt) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-kAmp, kAmp);
    const struct {
        const char* name;
        double left, right; // gains of the sine; 0, 0 for noise
    } cases[] = {{"mono", 1, 1}, {"L = -R", 1, -1}, {"L only", 1, 0}, {"noise", 0, 0}};
    for (const double ratio : {1.0, 2.0}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " at ratio " + std::to_string(ratio));
            start(ratio);
            play(
                [&](uint64_t g, double& l, double& r) {
                    l = c.left == 0 ? noise(random) : c.left * kAmp * sine(g);
                    r = c.left == 0 ? noise(random) : c.right * kAmp * sine(g);
                },
                0.5);
            // The line's direction (side, mid) and the distance from it.
            const double sx = c.right - c.left, my = c.left + c.right, n = std::hypot(sx, my);
            int quadrants[4] = {0, 0, 0, 0}, off = 0;
            const std::vector<Lit> points = lit();
            for (const Lit& p : points) {
                off += n > 0 && std::abs(p.dx * my - p.dy * sx) / n > 2 * ratio;
                quadrants[(p.dx > 0) + 2 * (p.dy > 0)] += p.r() > 10;
            }
            EXPECT_GT(points.size(), 100u);
            EXPECT_EQ(off, 0);
            if (c.left == 0) { // noise
                EXPECT_GT(*std::min_element(quadrants, quadrants + 4), 100);
            }
        }
    }
    allocations = 0;
    countAllocations = true;
    drawFrame();
    countAllocations = false;
    EXPECT_EQ(allocations.load(), 0);
}

// A passage 20 dB quieter fills the circle as far as a loud one once the
// range has released (not at all with a release of 0), and a rise is
// followed at once without spilling over.
TEST_F(ScopeTest, TheRangeFollowsRisesAtOnceAndReleasesAtItsRate) {
    const Signal loud = [](uint64_t g, double& l, double& r) { l = r = kAmp * sine(g); };
    const Signal quiet = [](uint64_t g, double& l, double& r) { l = r = kAmp / 10 * sine(g); };
    for (const float release : {3.0f, 0.0f}) {
        SCOPED_TRACE(release);
        look.rangeRelease = release;
        start();
        play(loud, 0.5);
        const double full = farthest().r();
        EXPECT_NEAR(state.rangeDb, -6.0, 0.1);
        play(quiet, 0.5);
        EXPECT_LT(farthest().r(), full * 0.3);
        play(quiet, 7.5); // 20 dB at 3 dB/s
        EXPECT_NEAR(farthest().r(), release > 0 ? full : full * 0.1, 3.0);
        play(loud, 1.0 / 30);
        EXPECT_NEAR(farthest().r(), full, 3.0);
    }
    // "Reset Max detection" starts from the trace shown.
    play(quiet, 0.5);
    xyScopeResetRange(state, *ring, ring->end(), look);
    EXPECT_NEAR(state.rangeDb, -26.0, 0.1);
}

// A point is in the beam colour while younger than DelayElectron, then
// between beam and afterglow, and gone after DelayElectron + DelayPersistence.
TEST_F(ScopeTest, APointFadesFromTheBeamAndVanishes) {
    look.rangeRelease = 0;
    start();
    const Signal pulse = [](uint64_t g, double& l, double& r) { l = r = g == 441 ? kAmp : 0; };
    play(pulse, 1.0 / 30); // the pulse is 0.02 s old
    EXPECT_GT(farthest().dy, 100);
    EXPECT_EQ(farthest().color, look.beam);
    play(pulse, 3.0 / 30); // 0.12 s: past the beam delay of 0.05 s
    EXPECT_GT(farthest().dy, 100);
    EXPECT_NE(farthest().color, look.beam);
    EXPECT_NE(farthest().color, look.afterglow);
    play(pulse, 5.0 / 30); // 0.29 s: past 0.25 s
    EXPECT_LT(farthest().dy, 3);
}

} // namespace
