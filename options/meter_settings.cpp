#include "options/meter_settings.h"

#include "controls/ctl_core.h"
#include "meter/meter_ballistics.h"
#include "platform/registry_store.h"

#include <QPointer>
#include <QThread>
#include <algorithm>
#include <cstddef>
#include <cstring>

MeterSettingsValues MeterSettingsDefaults = kMeterSettingsCompiledDefaults;
uint32_t CustomColors[16] = {};

namespace {

struct FieldInfo {
    const char* name;
    size_t offset;
};

#define KC_FIELD(field, name)                                                                      \
    { name, offsetof(MeterSettingsValues, field) }
// Table order; field 8 shares the value of field 7.
const FieldInfo kFields[33] = {
    KC_FIELD(MoyBorder, "MoyBorder"),
    KC_FIELD(MoyBrush, "MoyBrush"),
    KC_FIELD(nomBorder, "nomBorder"),
    KC_FIELD(nomBrush, "nomBrush"),
    KC_FIELD(MaxBorder, "MaxBorder"),
    KC_FIELD(MaxBrush, "MaxBrush"),
    KC_FIELD(AttnBorder, "AttnBorder"),
    KC_FIELD(AttnBrush, "AttnBorder"),
    KC_FIELD(MaxColor, "MaxColor"),
    KC_FIELD(MoyColor, "MoyColor"),
    KC_FIELD(Electron, "Electron"),
    KC_FIELD(Persistence, "Persistence"),
    KC_FIELD(Corel_on, "Corel_on"),
    KC_FIELD(Corel_off, "Corel_off"),
    KC_FIELD(BrushType, "BrushType"),
    KC_FIELD(dbHead, "dbHead"),
    KC_FIELD(dbMax, "dbMax"),
    KC_FIELD(L_MinDB, "L_MinDB"),
    KC_FIELD(L_MaxDB, "L_MaxDB"),
    KC_FIELD(C_MinDB, "C_MinDB"),
    KC_FIELD(C_MaxDB, "C_MaxDB"),
    KC_FIELD(Max_DBperS, "Max_DBperS"),
    KC_FIELD(Moy_DBperS, "Moy_DBperS"),
    KC_FIELD(nbFperS, "nbFperS"),
    KC_FIELD(ReduceMinDb, "ReduceMinDb"),
    KC_FIELD(DisplayDbOffset, "DisplayDbOffset"),
    KC_FIELD(Delay, "Delay"),
    KC_FIELD(Attack, "Attack"),
    KC_FIELD(PhaseRelease, "PhaseRelease"),
    KC_FIELD(DelayElectron, "DelayElectron"),
    KC_FIELD(DelayPersistence, "DelayPersistence"),
    KC_FIELD(RangeRelease, "RangeRelease"),
    KC_FIELD(diapason, "diapason"),
};
#undef KC_FIELD

using F = MeterSettingsField;
// The order in which the save writes the values: field 7 and then field 8
// under "AttnBorder", so the stored value is the fill colour.
const F kSaveOrder[33] = {
    F::MoyBorder,        F::MoyBrush,     F::nomBorder,  F::nomBrush,     F::MaxBorder,
    F::MaxBrush,         F::AttnBorder,   F::AttnBrush,  F::MaxColor,     F::MoyColor,
    F::Electron,         F::Corel_on,     F::Corel_off,  F::Persistence,  F::BrushType,
    F::dbHead,           F::dbMax,        F::L_MinDB,    F::L_MaxDB,      F::C_MinDB,
    F::C_MaxDB,          F::Max_DBperS,   F::Moy_DBperS, F::nbFperS,      F::ReduceMinDb,
    F::DisplayDbOffset,  F::Delay,        F::Attack,     F::PhaseRelease, F::DelayElectron,
    F::DelayPersistence, F::RangeRelease, F::diapason};

MeterSettings g_live; // main thread
int g_useCount = 0;   // main thread
std::string g_key;    // completed by the first load
bool g_keyDone = false;
QPointer<QDialog> g_dialog; // the open options dialog

unsigned char* fieldAddress(MeterSettingsValues& v, F field) {
    return reinterpret_cast<unsigned char*>(&v) + kFields[static_cast<int>(field)].offset;
}

// Reads one field into the staging record; a failed read puts the
// compiled-in default back. The fields from dbHead on are floats, all but the
// frame rate: a stored NaN or infinity counts as missing.
void readField(F field, const char* name) {
    unsigned char* dest = fieldAddress(MeterSettingsDefaults, field);
    const bool isFloat = field >= F::dbHead && field != F::nbFperS;
    if ((isFloat ? regReadFloat(g_key.c_str(), name, reinterpret_cast<float*>(dest))
                 : regReadValue(g_key.c_str(), name, dest, 4)) == 0) {
        MeterSettingsValues defaults = kMeterSettingsCompiledDefaults;
        std::memcpy(dest, fieldAddress(defaults, field), 4);
    }
}

} // namespace

const char* meterSettingsValueName(MeterSettingsField field) {
    const int i = static_cast<int>(field);
    return i >= 0 && i < 33 ? kFields[i].name : "";
}

void LoadMeterSettings(const char* subKey) {
    if (g_useCount == 0) {
        if (!g_keyDone) {
            g_key = std::string(kMeterSettingsKeyPrefix) + (subKey ? subKey : "");
            g_keyDone = true;
        }
        for (int i = 0; i < 16; ++i) {
            const QColor c = ctlColor(i); // black while the library is not running
            CustomColors[i] = c.isValid() ? meterRgb(c.red(), c.green(), c.blue()) : 0u;
        }
        g_dialog = nullptr;
        FreeMeterColorSet(&g_live);
        for (int i = 0; i < 33; ++i) {
            readField(static_cast<F>(i), kFields[i].name);
            if (static_cast<F>(i) == F::AttnBorder) {
                // The outline's own value, when one was saved, wins over the
                // shared "AttnBorder" (which holds the fill colour).
                regReadValue(g_key.c_str(), kMeterAttnOutlineValue,
                             fieldAddress(MeterSettingsDefaults, F::AttnBorder), 4);
            }
        }
        // Faster than the menu and the dialog offer, the render thread falls
        // behind and the bars stay lit long into silence.
        MeterSettingsDefaults.nbFperS = std::min(MeterSettingsDefaults.nbFperS, kMeterMaxFrameRate);
        static_cast<MeterSettingsValues&>(g_live) = MeterSettingsDefaults;
        MeterSettingsDefaults = kMeterSettingsCompiledDefaults;
        BuildMeterColorSet(&g_live);
    }
    ++g_useCount;
}

int ReleaseMeterSettings() {
    if (g_useCount <= 0) {
        return 0;
    }
    if (--g_useCount != 0) {
        return 0;
    }
    if (QDialog* dialog = g_dialog.data()) {
        // A release deferred to the end of a fed block runs on the stream
        // thread: the dialog is then ended from its own thread.
        if (QThread::currentThread() == dialog->thread()) {
            dialog->reject();
        } else {
            QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
        }
    }
    MeterSettingsDefaults = g_live;
    FreeMeterColorSet(&g_live);
    // One rewrite of the store for all values, in the save order: the store
    // keeps the last of the two "AttnBorder" values, the fill colour.
    RegValue values[34];
    size_t count = 0;
    for (F field : kSaveOrder) {
        values[count++] = {kFields[static_cast<int>(field)].name,
                           fieldAddress(MeterSettingsDefaults, field), 4};
        if (field == F::AttnBrush) {
            values[count++] = {kMeterAttnOutlineValue,
                               fieldAddress(MeterSettingsDefaults, F::AttnBorder), 4};
        }
    }
    regWriteValues(g_key.c_str(), values, count);
    MeterSettingsDefaults = kMeterSettingsCompiledDefaults;
    return 1;
}

MeterSettings* GetMeterSettings() {
    return &g_live;
}

int meterSettingsUseCount() {
    return g_useCount;
}

std::string meterSettingsKey() {
    return g_key;
}

void setMeterOptionsDialog(QDialog* dialog) {
    g_dialog = dialog;
}

QDialog* meterOptionsDialog() {
    return g_dialog.data();
}

void ExchangeMeterSettings(MeterSettings* a, MeterSettings* b) {
    if (!a || !b || a == b) {
        return;
    }
    const MeterSettingsValues values = *a;
    static_cast<MeterSettingsValues&>(*a) = *b;
    static_cast<MeterSettingsValues&>(*b) = values;
    const MeterColorSetPtr set = a->colorSet.load();
    a->colorSet.store(b->colorSet.load());
    b->colorSet.store(set);
}
