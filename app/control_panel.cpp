#include "app/control_panel.h"

#include "app/app_shell.h"
#include "app/engine_owner.h"
#include "app/main_window.h"
#include "app/panel_face.h"
#include "app/wav_select.h"
#include "controls/i2p.h"
#include "controls/rotatif.h"
#include "display/meter_window.h"
#include "meter/meter_engine.h"
#include "platform/nested_loop.h"

namespace {

// Knob styles: report every change while moving, pointer in palette brush 10
// and pen 0; the delay knob's value entry is the time entry dialog, the
// others' the text entry dialog.
constexpr uint32_t kKnobPointer = ctlStyle(kCtlBlack, kCtlGrey84, 0);
constexpr uint32_t kTimeKnobStyle = kKnobContinuous | kKnobTimeEntry | kKnobPointer;
constexpr uint32_t kValueKnobStyle = kKnobContinuous | kKnobTextEntry | kKnobPointer;
constexpr int kKnobCentreX = 13;
constexpr int kKnobCentreY = 12;

ControlPanel& self(void* panel) {
    return *static_cast<ControlPanel*>(panel);
}

void setControl(QWidget* control, float value) {
    ctlSendCommand(control, kCtlCmdSetValue, value);
}

float flag(int32_t v) {
    return v != 0 ? 1.0f : 0.0f;
}

// Reads the parameters, lets `change` edit the copy, writes it back whole
// (which marks the engine's coefficients stale) and optionally repaints.
template <typename Change> void editParams(MeterEngine* engine, bool repaint, Change change) {
    MeterParams p{};
    meterGetParams(engine, &p);
    change(p);
    meterSetParams(engine, &p);
    if (repaint)
        meterRepaint(engine);
}

// The same change in the left and the right channel set.
template <typename Change> void bothSets(MeterParams& p, Change change) {
    change(p.left);
    change(p.right);
}

} // namespace

void ControlPanel::attach(MeterEngine* engine) {
    std::function<void()> turned = std::move(delayTurned);
    *this = ControlPanel{};
    delayTurned = std::move(turned);
    m_engine = engine;
}

void ControlPanel::showDelay(float seconds) {
    if (m_delayKnob)
        setControl(m_delayKnob, seconds);
}

int ControlPanel::create(QWidget* face, const ControlPanelPictures& pic) {
    if (!face)
        return 0;
    m_mainWindow = face->window();
    const auto button = [&](int id, int x, int y, uint32_t mode, CtlCallback callback) {
        return ctlCreateButton(face, id, x, y, mode, pic.buttonOff, pic.buttonOn, QImage(),
                               callback, this);
    };
    const auto knob = [&](int id, int x, int y, uint32_t style, int16_t from, int16_t to,
                          float minimum, float maximum, float initial, float step,
                          CtlCallback callback) {
        return ctlCreateKnob(face, id, x, y, style, pic.knob, kKnobCentreX, kKnobCentreY, from, to,
                             minimum, maximum, initial, step, callback, this);
    };
    // Creation order is the Tab order.
    m_holdButton = button(0, 12, 7, kI2pToggle, onHold);
    m_meterButton = button(0, 91, 7, kI2pPush, onMeter);
    m_resetButton = button(0, 175, 7, kI2pPush, onReset);
    m_linearButton = button(0, 12, 35, kI2pToggle, onLinear);
    m_delayKnob = knob(1, 216, 34, kTimeKnobStyle, 220, 319, 0.0f, 2.0f, 0.0f, 0.002f, onDelay);
    m_peakButton = button(0, 74, 99, kI2pRadio, onLevelMode);
    m_rmsButton = button(1, 74, 120, kI2pRadio, onLevelMode);
    m_averageButton = button(2, 74, 141, kI2pRadio, onLevelMode);
    m_topKnob = knob(0, 34, 100, kValueKnobStyle, 240, 300, -170.0f, 48.0f, 6.0f, 0.25f, onRange);
    m_bottomKnob =
        knob(1, 34, 135, kValueKnobStyle, 240, 300, -180.0f, 40.0f, -60.0f, 0.25f, onRange);
    m_peakReleaseKnob =
        knob(2, 216, 100, kValueKnobStyle, 240, 300, 0.1f, 96.0f, 3.0f, 0.25f, onRange);
    m_levelReleaseKnob =
        knob(3, 216, 135, kValueKnobStyle, 240, 300, 0.1f, 96.0f, 24.0f, 0.25f, onRange);
    m_attackKnob = knob(1, 9, 175, kValueKnobStyle, 220, 319, 0.1f, 96.0f, 48.0f, 0.2f, onAttack);
    m_attackButton = button(0, 128, 178, kI2pToggle, onAttackOn);
    m_offsetButton = button(0, 222, 178, kI2pToggle, onOffset);
    m_phaseKnob = knob(0, 216, 247, kValueKnobStyle, 240, 300, 0.1f, 30.0f, 0.5f, 0.05f, onPhase);

    const QWidget* all[] = {m_holdButton, m_meterButton,  m_resetButton,     m_linearButton,
                            m_delayKnob,  m_peakButton,   m_rmsButton,       m_averageButton,
                            m_topKnob,    m_bottomKnob,   m_peakReleaseKnob, m_levelReleaseKnob,
                            m_attackKnob, m_attackButton, m_offsetButton,    m_phaseKnob};
    for (const QWidget* w : all) {
        if (!w) {
            // A knob refuses only pictures or ranges it cannot draw: without
            // them the panel would be half built, so build none of it.
            destroy();
            m_mainWindow = nullptr;
            return 0;
        }
    }
    if (MeterWindowContext* ctx = meterWindowContext(m_engine))
        ctx->controlPanel = this;
    return 1;
}

void ControlPanel::refresh() {
    if (!created())
        return;
    MeterParams p{};
    meterGetParams(m_engine, &p);
    const ChannelParams& c = p.left;
    if (meterIsFrozen(m_engine) == 1)
        setControl(m_holdButton, 1.0f);
    setControl(m_linearButton, flag(c.linearScale));
    setControl(m_delayKnob, c.Delay);
    setControl(m_attackKnob, c.Attack);
    setControl(m_attackButton, flag(c.attackOn));
    setControl(m_offsetButton, flag(c.dbOffsetOn));
    setControl(m_topKnob, c.L_MaxDB);
    setControl(m_bottomKnob, c.L_MinDB);
    setControl(m_levelReleaseKnob, c.Moy_DBperS);
    setControl(m_peakReleaseKnob, c.Max_DBperS);
    ctlSendCommand(m_peakButton, c.dbOffsetOn == 0 ? kCtlCmdEnable : kCtlCmdDisable, 0.0f);
    setLevelButtons(p);
    setControl(m_phaseKnob, c.PhaseRelease);

    if (p.placementValid == 1) {
        meterRepaint(m_engine);
        meterWindowShow(m_engine);
    } else if (meterGetWindow(m_engine)) {
        meterWindowClose(m_engine);
    }
}

void ControlPanel::setLevelButtons(const MeterParams& p) {
    if (!created())
        return;
    for (I2p* b : {m_peakButton, m_rmsButton, m_averageButton})
        setControl(b, 0.0f);
    I2p* on = (p.left.peakOn & 1)  ? m_peakButton
              : (p.left.rmsOn & 1) ? m_rmsButton
                                   : m_averageButton;
    setControl(on, 1.0f);
}

int ControlPanel::destroy() {
    if (MeterWindowContext* ctx = meterWindowContext(m_engine); ctx && ctx->controlPanel == this)
        ctx->controlPanel = nullptr;
    // A control may be waiting in its menu or dialog when the shut-down runs
    // inside that loop: it goes once its handler has returned.
    const auto drop = [](auto*& control) {
        deleteWhenIdle(control);
        control = nullptr;
    };
    drop(m_holdButton);
    drop(m_attackKnob);
    drop(m_attackButton);
    drop(m_offsetButton);
    drop(m_delayKnob);
    drop(m_meterButton);
    drop(m_topKnob);
    drop(m_bottomKnob);
    drop(m_peakReleaseKnob);
    drop(m_levelReleaseKnob);
    drop(m_peakButton);
    drop(m_rmsButton);
    drop(m_averageButton);
    drop(m_resetButton);
    drop(m_linearButton);
    drop(m_phaseKnob);
    return 1;
}

int ControlPanel::onHold(void* panel, int, float v) {
    meterSetFrozen(self(panel).m_engine, v == 1.0f ? 1 : 0);
    return 1;
}

int ControlPanel::onMeter(void* panel, int, float) {
    meterWindowShow(self(panel).m_engine);
    return 1;
}

int ControlPanel::onReset(void* panel, int, float) {
    meterResetMax(self(panel).m_engine);
    meterRepaint(self(panel).m_engine);
    return 1;
}

int ControlPanel::onLinear(void* panel, int, float v) {
    editParams(self(panel).m_engine, true, [v](MeterParams& p) {
        bothSets(p, [v](ChannelParams& c) { c.linearScale = v != 0.0f ? 1 : 0; });
    });
    return 1;
}

int ControlPanel::onDelay(void* panel, int, float v) {
    editParams(self(panel).m_engine, false,
               [v](MeterParams& p) { bothSets(p, [v](ChannelParams& c) { c.Delay = v; }); });
    if (self(panel).delayTurned)
        self(panel).delayTurned();
    return 1;
}

int ControlPanel::onLevelMode(void* panel, int id, float) {
    ControlPanel& s = self(panel);
    editParams(s.m_engine, true, [&s, id](MeterParams& p) {
        if (id < 0 || id > 2)
            return;
        bothSets(p, [id](ChannelParams& c) {
            if (id == 0) {
                c.peakOn |= 1;
                return;
            }
            c.peakOn &= ~1;
            c.rmsOn = id == 1 ? (c.rmsOn | 1) : (c.rmsOn & ~1);
        });
        I2p* buttons[] = {s.m_peakButton, s.m_rmsButton, s.m_averageButton};
        for (int i = 0; i < 3; ++i)
            if (i != id)
                setControl(buttons[i], 0.0f);
    });
    return 1;
}

int ControlPanel::onRange(void* panel, int id, float v) {
    ControlPanel& s = self(panel);
    // The two pairs keep L_MaxDB >= L_MinDB + 1 and Max_DBperS <= Moy_DBperS
    // whatever the order of the moves: the other knob of the pair follows.
    editParams(s.m_engine, id == 0 || id == 1, [&s, id, v](MeterParams& p) {
        ChannelParams& c = p.left;
        switch (id) {
        case 0:
            c.L_MaxDB = v;
            if (v < c.L_MinDB + 1.0f) {
                c.L_MinDB = v - 1.0f;
                setControl(s.m_bottomKnob, c.L_MinDB);
            }
            break;
        case 1:
            c.L_MinDB = v;
            if (v > c.L_MaxDB - 1.0f) {
                c.L_MaxDB = v + 1.0f;
                setControl(s.m_topKnob, c.L_MaxDB);
            }
            break;
        case 2:
            c.Max_DBperS = v;
            if (v > c.Moy_DBperS) {
                c.Moy_DBperS = v;
                setControl(s.m_levelReleaseKnob, v);
            }
            break;
        case 3:
            c.Moy_DBperS = v;
            if (v < c.Max_DBperS) {
                c.Max_DBperS = v;
                setControl(s.m_peakReleaseKnob, v);
            }
            break;
        default:
            break;
        }
    });
    return 1;
}

int ControlPanel::onAttack(void* panel, int, float v) {
    editParams(self(panel).m_engine, false,
               [v](MeterParams& p) { bothSets(p, [v](ChannelParams& c) { c.Attack = v; }); });
    return 1;
}

int ControlPanel::onAttackOn(void* panel, int, float v) {
    editParams(self(panel).m_engine, false, [v](MeterParams& p) {
        bothSets(p, [v](ChannelParams& c) { c.attackOn = v != 0.0f ? 1 : 0; });
    });
    return 1;
}

int ControlPanel::onOffset(void* panel, int, float v) {
    ControlPanel& s = self(panel);
    const bool on = v != 0.0f;
    editParams(s.m_engine, true, [&s, on](MeterParams& p) {
        bothSets(p, [on](ChannelParams& c) { c.dbOffsetOn = on ? 1 : 0; });
        // The offset has no meaning for the peak reading: a PEAK selection in
        // force moves to RMS.
        if (on && (p.left.peakOn & 1)) {
            p.left.peakOn &= ~1;
            p.left.rmsOn |= 1;
            setControl(s.m_peakButton, 0.0f);
            setControl(s.m_rmsButton, 1.0f);
        }
        ctlSendCommand(s.m_peakButton, on ? kCtlCmdDisable : kCtlCmdEnable, 0.0f);
    });
    return 1;
}

int ControlPanel::onPhase(void* panel, int, float v) {
    editParams(self(panel).m_engine, false,
               [v](MeterParams& p) { bothSets(p, [v](ChannelParams& c) { c.PhaseRelease = v; }); });
    return 1;
}

ControlPanelPart::ControlPanelPart(WavSelector& selector, EngineOwner& engine) : m_engine(engine) {
    selector.refreshPanel = [this] { m_panel.refresh(); };
}

void ControlPanelPart::join(AppShell& shell) {
    m_shell = &shell;
    shell.parts().panel = this;
}

void ControlPanelPart::createPanel(QWidget* face) {
    m_panel.attach(m_engine.get());
    if (m_shell)
        m_panel.create(face, {m_shell->bitmap(kBitmapButtonOff), m_shell->bitmap(kBitmapButtonOn),
                              m_shell->bitmap(kBitmapKnob)});
    m_panel.refresh();
}

void ControlPanelPart::destroyPanel() {
    m_panel.destroy();
}

void ControlPanelPart::fillWindowHooks(MeterWindowHooks& hooks) {
    hooks.refreshPanel = [](void* p) { static_cast<ControlPanel*>(p)->refresh(); };
    hooks.setLevelButtons = [](void* p, const MeterParams& params) {
        static_cast<ControlPanel*>(p)->setLevelButtons(params);
    };
}
