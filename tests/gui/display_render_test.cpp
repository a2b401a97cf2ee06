// Pixels of the meter window's surface: the moving parts of a frame and the
// static face, drawn into a surface exactly as the window would.
#include "controls/ctl_core.h"
#include "display/glyph_atlas.h"
#include "display/meter_frame_painter.h"
#include "display/meter_layout.h"
#include "display/meter_renderer.h"
#include "display/meter_static_painter.h"
#include "display/meter_surface.h"
#include "display/scale_marks.h"
#include "display_test_support.h"
#include "options/meter_settings.h"
#include "platform/dc.h"

#include <QPaintEngine>
#include <QRegion>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <future>
#include <new>
#include <tuple>

// Counts heap allocations while asked to: the render thread must not allocate.
std::atomic<bool> countAllocations{false};
std::atomic<int> allocations{0};

void* operator new(std::size_t n) {
    if (countAllocations.load())
        ++allocations;
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

constexpr int32_t kBarsAndCorrelator = kMeterShowBarsAndCorrelator;

class RenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ctlInitialize("Korvalo Cor.");
        LoadMeterSettings("Korvalo Cor");
        set = GetMeterSettings()->colorSet.load();
        glyphs = new GlyphAtlas(ctlMakeFont(14, 400));
    }
    static void TearDownTestSuite() {
        delete glyphs;
        set.reset();
        ReleaseMeterSettings();
        ctlShutdown();
    }
    void SetUp() override {
        ASSERT_TRUE(set);
        meterBuildRenderPalette(pal, *set);
    }

    static MeterFrame frame(int32_t flags = kBarsAndCorrelator) {
        MeterFrame f = silentFrame(flags);
        f.in.rmsOn = 1;
        return f;
    }

    bool draw(MeterSurface& s, MeterFrame& f) {
        std::lock_guard<std::mutex> guard(s.lock);
        return meterDrawFrame(s, f, pal, *glyphs);
    }

    static uint32_t at(MeterSurface& s, int x, int y) { return s.image.pixel(x, y) | 0xff000000u; }

    // The static face of a 180-pixel-wide stereo window on a black ground.
    static QImage paintStatic(int h, int minDb, double ratio = 1.0) {
        MeterParams p{};
        std::strcpy(p.windowName, "Korvalo");
        p.left.displayFlags = kBarsAndCorrelator;
        p.left.peakOn = 1;
        p.left.L_MinDB = minDb;
        p.left.L_MaxDB = 6;
        QImage img(static_cast<int>(180 * ratio), static_cast<int>(h * ratio),
                   QImage::Format_RGB32);
        img.setDevicePixelRatio(ratio);
        img.fill(Qt::black);
        {
            Dc dc(img); // done drawing before the image is copied out
            meterPaintStatic(dc, 180, h, 2, p);
        }
        return img;
    }

    // Expected colour of a bar pixel in row y: the zone's fill through its
    // 8 x 8 pattern (aligned to the surface origin), black above the bar.
    uint32_t barPixel(int x, int y, int bottom, int Pn, int Pc, int d) const {
        const RasterFill* zone = nullptr;
        if (y >= bottom - d && y < bottom) {
            if (y >= bottom - Pn)
                zone = &pal.moy;
            else if (y >= bottom - Pc)
                zone = &pal.nom;
            else
                zone = &pal.max;
        }
        return zone ? zone->px[(y & 7) * 8 + (x & 7)] : pal.color[0];
    }

    static inline MeterColorSetPtr set;
    static inline GlyphAtlas* glyphs = nullptr;
    RenderPalette pal{};
};

TEST_F(RenderTest, FullScaleFrameFillsTheThreeZonesInNarrowLayout) {
    MeterSurface s;
    s.resize(180, 600);
    s.fillSolid(0, 0, 180, 600, 0xffffffff); // anything left undrawn shows as white
    MeterFrame f = frame();
    f.reading[0].peak = f.reading[0].bar = 0.0f; // 0 dBFS on a -60..+6 scale
    f.reading[1].peak = f.reading[1].bar = -30.0f;
    ASSERT_TRUE(draw(s, f));

    const MeterLayout L = meterComputeLayout(180, 600, 2, kBarsAndCorrelator);
    ASSERT_EQ(L.kind, MeterLayoutKind::Narrow);
    const float k = 541.0f / 66.0f;
    const int Pn = scalePixel(-12, -60, k), Pc = scalePixel(-3, -60, k), Pz = scalePixel(0, -60, k);
    ASSERT_EQ(std::tuple(Pn, Pc, Pz), std::tuple(393, 467, 491));
    // The left bar at its edges and inside; the right one stops in the low
    // zone and is erased black above.
    const int d = scalePixel(-30, -60, k);
    for (auto [x, top] :
         {std::pair(L.x0, Pz), {L.x0 + 5, Pz}, {L.x0 + L.bw - 1, Pz}, {L.x1 + 3, d}}) {
        for (int y = kMeterBarTop; y < L.bottom; ++y)
            ASSERT_EQ(at(s, x, y), barPixel(x, y, L.bottom, Pn, Pc, top)) << x << "," << y;
    }
    // Neither bar reaches the scale column or the zero line's row below it.
    EXPECT_EQ(at(s, L.x0 + L.bw, 300), 0xffffffffu);
    EXPECT_EQ(at(s, L.x0 + 5, L.bottom), 0xffffffffu);
}

// The peak indicator (only while the bar shows the level) and the maximum
// labels and line sit on their dB rows; over full scale the indicator takes
// the border pen and the peak label turns bright red.
TEST_F(RenderTest, PeakIndicatorAndMaximumLabelsLandOnTheirRows) {
    const MeterLayout L = meterComputeLayout(400, 600, 2, kBarsAndCorrelator);
    ASSERT_EQ(L.kind, MeterLayoutKind::Wide);
    const float k = static_cast<float>(L.H) / 66.0f;
    const struct {
        int peakOn;
        float maxPeak;
        uint32_t pen, label;
    } rows[] = {{0, 3.0f, pal.maxBorderPen, pal.color[2]},
                {0, -8.0f, pal.maxColorPen, pal.color[13]},
                {1, -8.0f, pal.maxColorPen, pal.color[13]}};
    for (const auto& row : rows) {
        MeterSurface s;
        s.resize(400, 600);
        MeterFrame f = frame();
        f.in.peakOn = row.peakOn;
        f.reading[0].peak = row.maxPeak - 2.0f; // the indicator sits below the maximum line
        f.reading[0].level = -30.0f;
        f.reading[0].bar = row.peakOn ? f.reading[0].peak : -30.0f;
        f.hold[0].maxLevel = -15.0f;
        f.hold[0].maxPeak = f.reading[0].shownMaxPeak = row.maxPeak;
        draw(s, f);
        const int Pp = scalePixel(row.maxPeak - 2.0f, -60, k);
        const int Pmp = scalePixel(row.maxPeak, -60, k), Pml = scalePixel(-15, -60, k);
        EXPECT_EQ(at(s, L.x0 + 30, L.bottom - Pp) == row.pen, !row.peakOn) << row.maxPeak;
        EXPECT_EQ(at(s, 46, L.bottom - Pmp - 1), row.label) << row.maxPeak;
        EXPECT_EQ(at(s, L.x0 + L.bw - 3, L.bottom - Pmp), pal.color[15]) << row.maxPeak;
        // The level label only where the bar shows the level.
        EXPECT_EQ(at(s, 46, L.bottom - Pml - 1), row.peakOn ? pal.color[0] : pal.color[14]);
        EXPECT_EQ(std::pair(f.hold[0].peakLabelPixel, f.hold[0].levelLabelPixel),
                  std::pair(Pmp, row.peakOn ? -1 : Pml));
    }
}

// The correlator marker sits on its value's row, the old one is erased to
// the track; exactly the middle counts as the positive side. Without bars
// the correlator starts at x = 0.
TEST_F(RenderTest, CorrelatorMarkerFollowsTheValueWithHiddenBars) {
    const MeterLayout L = meterComputeLayout(180, 600, 2, kMeterShowCorrelator);
    ASSERT_EQ(L.c0, 0);
    MeterSurface s;
    s.resize(180, 600);
    MeterFrame f = frame(kMeterShowCorrelator);
    int old = -1;
    for (auto [c, fill] : {std::pair(0.5f, pal.corelOn.px[0]),
                           {-0.5f, pal.corelOff.px[0]},
                           {0.0f, pal.corelOn.px[0]}}) {
        f.correlation = c;
        ASSERT_TRUE(draw(s, f));
        const int q = static_cast<int>(L.H * 0.5 * (c + 1.0));
        EXPECT_EQ(f.correlatorPixel, q);
        EXPECT_EQ(at(s, 40, L.bottom - q - 3), fill) << c;
        if (old >= 0)
            EXPECT_EQ(at(s, 40, L.bottom - old - 3), pal.color[9]) << c;
        old = q;
    }
    EXPECT_EQ(at(s, 10, L.bottom - 10), pal.color[0]); // no hidden left bar
}

// Below the smallest layout the face says so and a frame draws nothing.
TEST_F(RenderTest, TooSmallForAnyLayout) {
    const QImage small = paintStatic(108, -60);
    int white = 0; // "Not Enough" and "Place"
    for (int y = 2; y < 26; ++y)
        for (int x = 0; x < 80; ++x)
            white += (small.pixel(x, y) & 0xffffff) == 0xffffff;
    EXPECT_GT(white, 10);
    EXPECT_EQ(paintStatic(109, -60).pixel(3, 3) & 0xffffff, 0x6e6e6eu); // the title box instead
    MeterSurface s;
    s.resize(180, 108);
    MeterFrame f = frame();
    f.reading[0].peak = f.reading[0].bar = 0.0f;
    EXPECT_FALSE(draw(s, f));
    EXPECT_EQ(s.snapshot().pixel(10, 60) & 0xffffff, 0u);
}

// At either density a major scale mark is two full-width rows (y - 1 and y)
// of whole device rows.
TEST_F(RenderTest, StaticScaleMarksLandOnTheirRowsAtEitherDensity) {
    // 359 high gives H = 300; the -40..+6 dB scale then has 12 dB steps.
    const MeterLayout L = meterComputeLayout(180, 359, 2, kBarsAndCorrelator);
    ASSERT_EQ(L.H, 300);
    const uint32_t markPen = ctlColor(14).rgb() & 0xffffff;
    for (const int r : {1, 2}) {
        const QImage img = paintStatic(359, -40, r);
        for (const ScaleMark& m : dbScalePlan(300, -40, 6).marks) {
            if (m.style != MarkStyle::Major)
                continue;
            for (int y = r * (L.bottom - m.p - 1); y < r * (L.bottom - m.p + 1); ++y)
                for (int x = r * L.scaleX; x < r * (L.scaleX + 30); ++x)
                    ASSERT_EQ(img.pixel(x, y) & 0xffffff, markPen)
                        << r << "x " << m.value << " " << x << "," << y;
        }
    }
}

TEST_F(RenderTest, AFrameThroughTheRendererAllocatesNothing) {
    auto surface = std::make_shared<MeterSurface>();
    surface->resize(400, 1080);
    static int tag = 0; // any unique address names a window
    auto* window = reinterpret_cast<MeterWindow*>(&tag);
    DisplayFrameRenderer& renderer = DisplayFrameRenderer::instance();
    renderer.attach(window, surface);
    MeterFrame f = frame();
    f.in.window = window;
    f.in.peakOn = 0;
    f.in.lostFrames = 2; // the warning box with its text
    f.reading[0] = {-2, -9, -9, -2, -9, -9, -20, 12};
    f.hold[0].maxLevel = -9.0f;
    f.hold[0].maxPeak = -2.0f;
    renderer.renderFrame(f); // the first frame digests the colour set
    allocations = 0;
    countAllocations = true;
    renderer.renderFrame(f);
    countAllocations = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GT(f.hold[0].levelLabelPixel, 0); // it did draw
    renderer.detach(window);
}

// Frames after the first draw only what changed and report it: the picture
// must still equal one drawn whole, every changed pixel must lie in a
// reported rectangle, and a small move must report a small area.
TEST_F(RenderTest, FramesDrawOnlyWhatChangesAndReportIt) {
    MeterSurface s, fresh;
    s.resize(400, 600);
    const MeterLayout L = meterComputeLayout(400, 600, 2, kMeterShowBars);
    const int barArea = 2 * L.bw * L.H;
    QRect changed[MeterSurface::kMaxChanges];
    MeterFrame f = frame(kMeterShowBars);
    f.in.peakOn = 0;
    // Left level, left peak, right level, right maximum; the largest report allowed.
    const struct {
        float level, peak, right, maxRight;
        int maxArea;
    } steps[] = {{-20, -10, -30, -25, 400 * 600}, {-19, -9, -30, -25, barArea / 4},
                 {-40, -30, -5, -2, barArea},     {-41, -30, -5, -2, barArea / 4},
                 {-200, -200, -200, -2, barArea}, {2, 4, -1, 3, 400 * 600}};
    for (const auto& st : steps) {
        f.reading[0] = {st.peak, st.level, st.level, st.peak, st.level, st.peak, st.level - 12, 12};
        f.reading[1] = {st.right, st.right, st.right,     st.right,
                        st.right, st.right, st.right - 6, 6};
        f.hold[0].maxLevel = st.level;
        f.hold[1].maxPeak = f.reading[1].shownMaxPeak = st.maxRight;
        const QImage before = s.snapshot();
        s.takeChanged(changed);
        MeterFrame whole = f;
        ASSERT_TRUE(draw(s, f));
        const int n = s.takeChanged(changed);
        int area = 0;
        QRegion reported;
        for (int i = 0; i < n; ++i) {
            reported += changed[i];
            area += changed[i].width() * changed[i].height();
        }
        EXPECT_LE(area, st.maxArea) << st.level;
        const QImage after = s.snapshot();
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 400; ++x)
                ASSERT_TRUE(before.pixel(x, y) == after.pixel(x, y) ||
                            reported.contains(QPoint(x, y)))
                    << x << "," << y;
        // The same frame on a picture that never showed an earlier one.
        fresh.resize(400, 600);
        for (MeterHold& h : whole.hold)
            h.peakLabelPixel = h.levelLabelPixel = h.rangeHighPixel = h.rangeLowPixel = -1;
        draw(fresh, whole);
        ASSERT_EQ(after, fresh.snapshot()) << st.level;
    }
}

// At a high-density ratio the renderer's fills meet the static painter's to
// the device pixel.
TEST_F(RenderTest, HighDensityPicturesMatchTheStaticPainter) {
    for (double ratio : {1.25, 1.5, 2.0}) {
        MeterSurface s;
        s.resize(181, 600, ratio);
        EXPECT_EQ(std::tuple(s.width(), s.height()), std::tuple(181, 600)) << ratio;
        EXPECT_EQ(s.image.size(), QSize(std::ceil(181 * ratio), std::ceil(600 * ratio)));
        QImage painted(s.image.size(), QImage::Format_RGB32);
        painted.setDevicePixelRatio(ratio);
        painted.fill(Qt::black);
        {
            Dc dc(painted);
            std::lock_guard<std::mutex> guard(s.lock);
            for (int i = 0; i < 7; ++i) {
                const QRect r(3 + 11 * i, 5 + 7 * i, 1 + 3 * i, 2 + i);
                dc.fillRect(r.left(), r.top(), r.right() + 1, r.bottom() + 1, QColor(Qt::white));
                s.fillSolid(r.left(), r.top(), r.right() + 1, r.bottom() + 1, 0xffffff);
            }
        }
        EXPECT_EQ(s.snapshot().convertToFormat(QImage::Format_RGB32),
                  painted.convertToFormat(QImage::Format_RGB32))
            << ratio;
    }
    // Glyphs drawn at twice the density keep the layout's cell height.
    EXPECT_EQ(GlyphAtlas(ctlMakeFont(14, 400), 2.0).cellHeight(), glyphs->cellHeight());
}

// A screen stand-in that, whenever the window draws the picture onto it, asks
// from another thread whether the surface's lock is free at that moment.
class LockProbeDevice : public QImage {
public:
    explicit LockProbeDevice(MeterSurface& s) : QImage(400, 400, Format_RGB32), m_engine(s) {}
    QPaintEngine* paintEngine() const override { return &m_engine; }
    struct Engine : QPaintEngine {
        explicit Engine(MeterSurface& s) : surface(s) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawImage(const QRectF&, const QImage& image, const QRectF&,
                       Qt::ImageConversionFlags) override {
            shown = image.copy();
            lockFree = std::async(std::launch::async, [this] {
                           const bool free = surface.lock.try_lock();
                           if (free)
                               surface.lock.unlock();
                           return free;
                       }).get();
        }
        Type type() const override { return User; }
        MeterSurface& surface;
        QImage shown;
        bool lockFree = false;
    };
    mutable Engine m_engine;
};

// The window's paint draws outside the surface's lock, so that the render
// thread never waits for it; what it shows is the whole current picture.
TEST_F(RenderTest, ShowingThePictureLeavesTheLockFreeAndShowsEveryFrame) {
    MeterSurface s;
    s.resize(400, 400);
    LockProbeDevice screen(s);
    MeterFrame f = frame();
    for (float level : {0.0f, -30.0f, -30.0f, -6.0f}) {
        f.reading[0].peak = f.reading[0].bar = level;
        draw(s, f);
        {
            QPainter painter(&screen);
            s.present(painter, QRect(0, 0, 400, 400));
        }
        EXPECT_TRUE(screen.m_engine.lockFree) << level;
        EXPECT_EQ(screen.m_engine.shown, s.snapshot()) << level;
    }
}

} // namespace
