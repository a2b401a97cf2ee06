#include "platform/nested_loop.h"

#include <QObject>
#include <QWidget>
#include <algorithm>
#include <unordered_map>
#include <vector>

namespace {

struct Scoped {
    int depth = 0;
    QMetaObject::Connection gone; // forgets the object when it is destroyed
};

struct NestedLoops {
    std::unordered_map<const QObject*, Scoped> scoped;
    std::vector<QPointer<QObject>> pending; // waiting for deleteWhenIdle
};

NestedLoops& loops() {
    static NestedLoops state;
    return state;
}

} // namespace

NestedLoopScope::NestedLoopScope(QObject* object) : m_key(object), m_object(object) {
    Scoped& s = loops().scoped[object];
    if (s.depth++ == 0)
        s.gone = QObject::connect(object, &QObject::destroyed,
                                  [object] { loops().scoped.erase(object); });
}

NestedLoopScope::~NestedLoopScope() {
    NestedLoops& state = loops();
    // Without m_object the object went meanwhile, and its record with it.
    if (const auto it = state.scoped.find(m_key); m_object && it != state.scoped.end()) {
        if (--it->second.depth > 0)
            return;
        QObject::disconnect(it->second.gone);
        state.scoped.erase(it);
    }
    std::erase_if(state.pending, [](const QPointer<QObject>& o) {
        if (o && inNestedLoop(o))
            return false;
        if (o)
            o->deleteLater();
        return true;
    });
}

bool inNestedLoop(const QObject* object) {
    // The records name live objects only, so their parent chains can be walked.
    return std::ranges::any_of(loops().scoped, [object](const auto& entry) {
        for (const QObject* o = entry.first; o; o = o->parent())
            if (o == object)
                return true;
        return false;
    });
}

void deleteWhenIdle(QObject* object) {
    if (!object)
        return;
    if (!inNestedLoop(object)) {
        delete object;
        return;
    }
    if (auto* widget = qobject_cast<QWidget*>(object))
        widget->hide();
    NestedLoops& state = loops();
    if (std::ranges::none_of(state.pending, [object](const auto& o) { return o == object; }))
        state.pending.emplace_back(object);
}
