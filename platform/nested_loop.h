// Deletion that waits for nested event loops.
//
// A handler that runs a nested event loop (a context menu's exec(), a modal
// dialog's) returns into its object afterwards, and Qt goes on delivering the
// event that started the handler to that object. A shut-down that runs inside
// such a loop (a signal, a close box) must therefore not delete the object, or
// a parent of it, at once: the handler marks its object with a
// NestedLoopScope, and whoever deletes goes through deleteWhenIdle.
//
// Thread: main thread only.
#pragma once

#include <QPointer>

class QObject;

// Marks `object` as waiting in a nested event loop for its lifetime. Scopes
// nest; an object deleted meanwhile by other means simply ends them.
class NestedLoopScope {
public:
    explicit NestedLoopScope(QObject* object);
    ~NestedLoopScope();
    NestedLoopScope(const NestedLoopScope&) = delete;
    NestedLoopScope& operator=(const NestedLoopScope&) = delete;

private:
    const QObject* m_key;
    QPointer<QObject> m_object;
};

// True while `object` or one of its descendants is inside a NestedLoopScope.
bool inNestedLoop(const QObject* object);

// Deletes `object` now, or, while inNestedLoop(object), hides it (a widget)
// and deletes it once the last of those scopes has ended: posted from there,
// the deletion runs after the handler has returned, at the latest when the
// application's event loop ends.
void deleteWhenIdle(QObject* object);
