// The knob's context menu: the value actions, the mouse modes and the value
// box's corner.
#include "controls/rotatif.h"

#include "controls/ctl_core.h"
#include "controls/rotatif_parts.h"
#include "platform/nested_loop.h"

#include <QMenu>

using namespace rotatif_parts;

void Rotatif::buildMenu() {
    m_menu = new QMenu(this);
    auto add = [this](QMenu* menu, const QString& text, int code) {
        QAction* a = menu->addAction(text);
        a->setData(code);
        a->setCheckable(true);
        return a;
    };
    QMenu* latency = new QMenu(QStringLiteral("Time before change value..."), m_menu);
    for (int ms = 0; ms <= 500; ms += 100)
        add(latency, QStringLiteral("Latency %1 ms").arg(ms), kKnobCmdLatency + ms);
    QMenu* box = new QMenu(QStringLiteral("Info Box..."), m_menu);
    add(box, QStringLiteral("Enable Info Value Box"), kKnobCmdInfoBox);
    box->addSeparator();
    const char* corners[] = {"Display on Left Top", "Display on Right Top",
                             "Display on Right Bottom", "Display on Left Bottom"};
    for (int i = 0; i < 4; ++i)
        add(box, QString::fromLatin1(corners[i]), kKnobCmdInfoBox + 1 + i);

    add(m_menu, QStringLiteral("Inverse Mousemove Mode"), kKnobCmdInverseMode);
    add(m_menu, QStringLiteral("Angular Mousemove Mode"), kKnobCmdAngularMode);
    m_menu->addSeparator();
    add(m_menu, QStringLiteral("Display Knob Moves"), kKnobCmdShowMoves);
    m_menu->addMenu(latency);
    m_menu->addMenu(box);
    if (editable()) {
        const KnobRange& r = m_range;
        const bool db = r.decibel();
        const int d = db ? 1 : 6;
        const char* unit = db ? " db" : "";
        m_menu->addSeparator();
        m_currentItem = m_menu->addAction(QString());
        m_currentItem->setData(kKnobCmdCurrentValue);
        m_currentItem->setEnabled(false);
        add(m_menu,
            QString::fromStdString("Default value (" + number(r.shown(r.defaultValue), d, unit) +
                                   ")\tDBLCLICK"),
            kKnobCmdDefault);
        add(m_menu, QStringLiteral("Edit Value\tINS [CTRL+CLICK]"), kKnobCmdEdit)
            ->setCheckable(false);
        add(m_menu, QStringLiteral("Adjust Value\t[SHIFT+CLICK]"), kKnobCmdAdjust)
            ->setCheckable(false);
        m_menu->addSeparator();
        add(m_menu,
            QString::fromStdString("Value Min (" + number(r.shown(r.minimum), d) + ")" + unit),
            kKnobCmdMinimum);
        add(m_menu,
            QString::fromStdString("Value Max (" + number(r.shown(r.maximum), d) + ")" + unit),
            kKnobCmdMaximum);
    }
    // Every item's command goes to the knob itself.
    QObject::connect(m_menu, &QMenu::triggered, this, [this](QAction* a) {
        const int code = a->data().toInt();
        if (code != kKnobCmdCurrentValue)
            command(code, 0);
    });
}

void Rotatif::showMenu(QPoint at) {
    const CtlOptions& o = ctlOptions();
    const KnobRange& r = m_range;
    const auto fix = [&](QMenu* menu, auto&& self) -> void {
        for (QAction* a : menu->actions()) {
            if (a->menu()) {
                self(a->menu(), self);
                continue;
            }
            const int code = a->data().toInt();
            bool checked = false;
            switch (code) {
            case kKnobCmdInverseMode:
                a->setEnabled(!(o.rotMode & 2));
                checked = o.rotMode & 1;
                break;
            case kKnobCmdAngularMode:
                checked = o.rotMode & 2;
                break;
            case kKnobCmdShowMoves:
                checked = o.rotMove != 0;
                break;
            case kKnobCmdDefault:
                checked = r.value == r.defaultValue;
                break;
            case kKnobCmdMinimum:
                checked = r.value == r.minimum;
                break;
            case kKnobCmdMaximum:
                checked = r.value == r.maximum;
                break;
            case kKnobCmdInfoBox:
                checked = o.infoValue & kInfoBoxOn;
                break;
            default:
                if (code >= kKnobCmdLatency && code < kKnobCmdInfoBox)
                    checked = o.rotLatency + kKnobCmdLatency == static_cast<uint32_t>(code);
                else if (code > kKnobCmdInfoBox)
                    checked = static_cast<int>(o.infoValue & 0xF) == code - kKnobCmdInfoBox;
            }
            if (a->isCheckable())
                a->setChecked(checked);
        }
    };
    fix(m_menu, fix);
    if (m_currentItem) {
        m_currentItem->setText(QString::fromStdString(
            "Current value : " + number(r.shown(r.value), r.decimals, r.decibel() ? " db" : "")));
    }
    // The menu runs an event loop, and the press that opened it goes on to
    // this knob when it returns.
    const NestedLoopScope nested(this);
    m_menu->exec(mapToGlobal(at));
}
