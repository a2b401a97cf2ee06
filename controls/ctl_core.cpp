// Library state. Everything here is created by the first ctlInitialize and
// released by the last ctlShutdown, on the main thread. The render thread only
// reads the resource tables, which exist unchanged for the whole time it runs.
#include "controls/ctl_core.h"

#include "platform/dc.h"
#include "platform/registry_store.h"

#include <QFontMetrics>
#include <QString>
#include <array>
#include <cstring>
#include <memory>

const char* const kCtlClassNames[kCtlClassCount] = {
    kCtlClassRotatif, kCtlClassI2p,   kCtlClassFree,   kCtlClassFreeWdb,   kCtlClassSlide,
    kCtlClass3DList,  kCtlClassVgrid, kCtlClass2DList, kCtlClassValueView,
};

namespace {

constexpr const char* kStatusTexts[kCtlStatusCount] = {
    "[QK2CTL] No error",
    "[QK2CTL] Module not initialized !",
    "[QK2CTL] Failed to register rotatif class",
    "[QK2CTL] Failed to register I2P class",
    "[QK2CTL] Failed to register FREE class",
    "[QK2CTL] Failed to register slide class",
    "[QK2CTL] Failed to register 3Dlist class",
    "[QK2CTL] Failed to register Vgrid class",
    "[QK2CTL] Failed to register 2Dgrid class",
    "[QK2CTL] Failed to register AutoViewValue class",
};

// Palette as 0x00BBGGRR words.
constexpr std::array<uint32_t, kCtlPaletteSize> kPalette = {
    0x000000, 0x1428CC, 0x1E3CFC, 0x36EBF0, 0x9D1C06, 0xE25F0F, 0xE4938C, 0x7A6B03,
    0x31A724, 0x404040, 0x545454, 0x6E6E6E, 0x828282, 0xB4B4B4, 0xE6E6E6, 0xFFFFFF,
};

struct FontEntry {
    int height;
    int weight;
};
// Entries 12 and 13 are deliberately the same font.
constexpr std::array<FontEntry, kCtlFontCount> kFonts = {{
    {10, 400},
    {10, 700},
    {12, 400},
    {12, 700},
    {14, 400},
    {14, 700},
    {16, 400},
    {16, 700},
    {18, 400},
    {18, 700},
    {20, 400},
    {20, 700},
    {26, 800},
    {26, 800},
    {38, 400},
    {38, 800},
}};

constexpr int kFirstBitmap = 1500;
constexpr size_t kMaxAppName = 127;

struct Resources {
    std::array<QColor, kCtlPaletteSize> palette;
    std::array<QBrush, kCtlPaletteSize> brushes;
    std::array<QPen, kCtlPaletteSize> pens;
    QPen outlinePen;
    std::array<QFont, kCtlFontCount> fonts;
    std::array<QImage, kCtlBitmapCount> bitmaps;
};

struct LibraryState {
    int useCount = 0;
    int status = kCtlStatusNotInitialized;
    int notificationsEnabled = 0;
    std::string appName;
    CtlOptions options;
    CtlPopups popups;
    std::unique_ptr<Resources> resources; // null while the library is not running
};

LibraryState& lib() {
    static LibraryState state;
    return state;
}

// Empty objects handed out for invalid indexes or a stopped library. Never
// destroyed, so that no Qt object outlives the application in a destructor.
const QPen& emptyPen() {
    static const QPen* pen = new QPen(Qt::NoPen);
    return *pen;
}
const QBrush& emptyBrush() {
    static const QBrush* brush = new QBrush(Qt::NoBrush);
    return *brush;
}
const QFont& emptyFont() {
    static const QFont* font = new QFont();
    return *font;
}
const QImage& emptyImage() {
    static const QImage* image = new QImage();
    return *image;
}

QColor colorFromWord(uint32_t bgr) {
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

// Reads a 4-byte option into `value` (which holds its default) and applies
// its load rule only when the read succeeds.
enum class Rule { AsStored, Flag, Latency, ModeBits };
void loadWord(const std::string& key, const char* name, uint32_t& value, Rule rule) {
    uint32_t stored = value;
    if (regReadValue(key.c_str(), name, &stored, sizeof stored) != 1) {
        return;
    }
    switch (rule) {
    case Rule::AsStored:
        value = stored;
        break;
    case Rule::Flag:
        value = stored != 0 ? 1 : 0;
        break;
    case Rule::Latency:
        value = stored > 500 ? 0 : stored; // unsigned: a negative number is huge
        break;
    case Rule::ModeBits:
        value = stored & 3; // inverse direction, angular mode; no other bit means anything
        break;
    }
}

void loadOptions(const std::string& key, CtlOptions& o) {
    loadWord(key, "Rot_Mode", o.rotMode, Rule::ModeBits);
    loadWord(key, "infovalue", o.infoValue, Rule::AsStored);
    loadWord(key, "Rot_Move", o.rotMove, Rule::Flag);
    loadWord(key, "Rot_Latency", o.rotLatency, Rule::Latency);
    loadWord(key, "S_capture", o.sCapture, Rule::Flag);
    loadWord(key, "S_settopos", o.sSetToPos, Rule::Flag);
    loadWord(key, "A_imode", o.aIMode, Rule::Flag);
    TimeContext ctx = o.timeContext;
    if (regReadValue(key.c_str(), "Dial_tCtx", &ctx, sizeof ctx) == 1) {
        o.timeContext = timeContextBounded(ctx);
    }
}

void saveOptions(const std::string& key, const CtlOptions& o) {
    // One rewrite of the store for all options. Write failures are ignored:
    // the next start simply uses the defaults.
    const RegValue values[] = {
        {"Rot_Mode", &o.rotMode, 4},       {"infovalue", &o.infoValue, 4},
        {"Rot_Latency", &o.rotLatency, 4}, {"Rot_Move", &o.rotMove, 4},
        {"S_capture", &o.sCapture, 4},     {"S_settopos", &o.sSetToPos, 4},
        {"A_imode", &o.aIMode, 4},         {"Dial_tCtx", &o.timeContext, sizeof(TimeContext)},
    };
    regWriteValues(key.c_str(), values, std::size(values));
}

std::string keyFor(const std::string& appName) {
    return std::string("Zandel_Audio\\QK2CTL\\") + appName;
}

} // namespace

int ctlStatus() {
    return lib().status;
}

const char* ctlStatusText(int code) {
    return code >= 0 && code < kCtlStatusCount ? kStatusTexts[code] : "";
}

CtlOptions& ctlOptions() {
    return lib().options;
}

CtlPopups& ctlPopups() {
    return lib().popups;
}

int ctlUseCount() {
    return lib().useCount;
}

int ctlNotificationsEnabled() {
    return lib().notificationsEnabled;
}

std::string ctlOptionsKey() {
    return lib().useCount > 0 ? keyFor(lib().appName) : std::string();
}

QFont ctlMakeFont(int cellHeight, int weight) {
    QFont font(QStringLiteral("Arial"));
    font.setWeight(weight >= 800 ? QFont::ExtraBold : weight >= 700 ? QFont::Bold : QFont::Normal);
    // The largest pixel size whose cell (ascent + descent) fits the height.
    int size = std::max(1, cellHeight);
    for (; size > 1; --size) {
        font.setPixelSize(size);
        const QFontMetrics fm(font);
        if (fm.ascent() + fm.descent() <= cellHeight) {
            break;
        }
    }
    font.setPixelSize(size);
    return font;
}

int ctlInitialize(const char* appName) {
    LibraryState& s = lib();
    if (s.useCount++ > 0) {
        return 1;
    }
    s.status = kCtlStatusOk;
    s.notificationsEnabled = 1;
    s.options = CtlOptions{};
    s.popups = CtlPopups{};
    s.appName = appName ? std::string(appName, strnlen(appName, kMaxAppName)) : std::string();

    loadOptions(keyFor(s.appName), s.options);
    ctlReleaseRoundMasks();

    auto res = std::make_unique<Resources>();
    for (int i = 0; i < kCtlBitmapCount; ++i) {
        const QImage image(QStringLiteral(":/res/%1.png").arg(kFirstBitmap + i));
        if (!image.isNull()) {
            // Blits combine raw pixel bits, so bitmaps are opaque like GDI's.
            res->bitmaps[i] = image.convertToFormat(QImage::Format_RGB32);
        }
    }
    // True-colour displays show every palette colour as it is.
    for (int i = 0; i < kCtlPaletteSize; ++i) {
        res->palette[i] = colorFromWord(kPalette[i]);
    }
    for (int i = 0; i < kCtlPaletteSize; ++i) {
        res->brushes[i] = Dc::solidBrush(res->palette[i]);
        res->pens[i] = Dc::solidPen(res->palette[i], 0);
    }
    res->outlinePen = Dc::solidPen(res->palette[0], 0, Qt::DashDotLine);
    for (int i = 0; i < kCtlFontCount; ++i) {
        res->fonts[i] = ctlMakeFont(kFonts[i].height, kFonts[i].weight);
    }
    s.resources = std::move(res);
    // Widget classes need no registration, so no class status can fail here.
    // The one value box, hidden until a control shows it.
    ctlCreateValueBox();
    return 1;
}

void ctlShutdown() {
    LibraryState& s = lib();
    if (s.useCount == 0) {
        return; // unbalanced call: nothing is running
    }
    if (--s.useCount > 0) {
        return;
    }
    // From here on, controls destroyed with their parents report nothing.
    s.notificationsEnabled = 0;
    delete s.popups.valueBox.data();
    for (QWidget* popup :
         {s.popups.textEntry.data(), s.popups.timeEntry.data(), s.popups.precisionSlider.data()}) {
        if (popup) {
            popup->close();
        }
    }
    s.resources.reset();
    ctlReleaseRoundMasks();
    saveOptions(keyFor(s.appName), s.options);
}

QColor ctlColor(int index) {
    const Resources* r = lib().resources.get();
    return r && index >= 0 && index < kCtlPaletteSize ? r->palette[index] : QColor();
}

const QBrush& ctlBrush(int index) {
    const Resources* r = lib().resources.get();
    return r && index >= 0 && index < kCtlPaletteSize ? r->brushes[index] : emptyBrush();
}

const QPen& ctlPen(int index) {
    const Resources* r = lib().resources.get();
    return r && index >= 0 && index < kCtlPaletteSize ? r->pens[index] : emptyPen();
}

const QPen& ctlOutlinePen() {
    const Resources* r = lib().resources.get();
    return r ? r->outlinePen : emptyPen();
}

const QFont& ctlFont(int index) {
    const Resources* r = lib().resources.get();
    return r && index >= 0 && index < kCtlFontCount ? r->fonts[index] : emptyFont();
}

const QImage& ctlBitmap(int index) {
    const Resources* r = lib().resources.get();
    return r && index >= 0 && index < kCtlBitmapCount ? r->bitmaps[index] : emptyImage();
}
