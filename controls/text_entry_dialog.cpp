// The edit's keys are filtered before the line edit sees them, so that Enter
// and Escape end the dialog whatever the edit would make of them. Both act on
// key press and are posted, as the dialog must not end in the middle of the
// edit's own event handling; the rest find it ended and do nothing. A key's
// repeats and its release act only when the dialog had that key's first
// press: the dialog often opens on a key press (Return on a menu item, or on
// the dialog before it), and the release of that key comes to the new dialog.
#include "controls/text_entry_dialog.h"

#include "controls/ctl_core.h"
#include "controls/ctl_draw.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr int kEditId = 10;

// Cuts UTF-8 `bytes` to at most `limit` bytes without splitting a character.
int utf8Prefix(const QByteArray& bytes, int limit) {
    if (bytes.size() <= limit) {
        return static_cast<int>(bytes.size());
    }
    int n = limit;
    while (n > 0 && (static_cast<unsigned char>(bytes[n]) & 0xC0) == 0x80) {
        --n; // bytes[n] continues the character that starts before it
    }
    return n;
}

} // namespace

void ctlApplyEntryStyle(QWidget* widget, uint32_t style) {
    widget->setFont(ctlFont(ctlStyleFont(style)));
    QPalette pal = widget->palette();
    const QColor text = ctlColor(ctlStyleColor(style));
    const QColor background = ctlColor(ctlStyleBrush(style));
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Base, background);
        pal.setColor(group, QPalette::Text, text);
    }
    widget->setPalette(pal);
}

void ctlPaintDialogFrame(QWidget* dialog) {
    const int f = ctlFrameMetrics().dialogFrame;
    const int w = dialog->width(), h = dialog->height();
    QPainter p(dialog);
    // Outer ring light above and left, dark below and right; the inner rings
    // in the dialog grey, with a white inner highlight.
    const QColor rings[][2] = {{ctlColor(kCtlGrey230), ctlColor(kCtlBlack)},
                               {ctlColor(kCtlWhite), ctlColor(kCtlGrey110)}};
    for (int i = 0; i < f; ++i) {
        const QColor& light = rings[i < 2 ? i : 1][0];
        const QColor& dark = rings[i < 2 ? i : 1][1];
        p.fillRect(i, i, w - 2 * i, 1, light);
        p.fillRect(i, i, 1, h - 2 * i, light);
        p.fillRect(i, h - 1 - i, w - 2 * i, 1, dark);
        p.fillRect(w - 1 - i, i, 1, h - 2 * i, dark);
    }
}

TextEntryWindow::TextEntryWindow(QWidget* owner, uint32_t style, int x, int y, int width,
                                 int height, const QString& initialText)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
    if (QWidget* older = ctlPopups().textEntry.data()) {
        older->close();
    }
    ctlPopups().textEntry = this;
    // Modal to its owner's window only, as an owned dialog: the program's
    // other windows stay usable.
    setWindowModality(Qt::WindowModal);
    const int f = ctlFrameMetrics().dialogFrame;
    setGeometry(x, y, width + 2 * f, height + 2 * f);
    setFixedSize(width + 2 * f, height + 2 * f);

    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QString::number(kEditId));
    m_edit->setGeometry(f, f, width, height);
    ctlApplyEntryStyle(m_edit, style);
    m_edit->setTextMargins(2, 0, 2, 0);
    m_edit->setText(initialText);
    m_edit->selectAll();
    m_edit->installEventFilter(this);
    m_edit->setFocus();
}

TextEntryWindow::~TextEntryWindow() = default;

bool TextEntryWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_edit) {
        return QDialog::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!ownKey(*key)) {
            return true; // pressed before the dialog opened
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            QMetaObject::invokeMethod(this, &TextEntryWindow::confirm, Qt::QueuedConnection);
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
            return true;
        }
        // A system key (Alt with or without another key) ends the dialog.
        if (event->type() == QEvent::KeyPress &&
            (key->key() == Qt::Key_Alt || (key->modifiers() & Qt::AltModifier))) {
            QMetaObject::invokeMethod(this, &TextEntryWindow::endUnconfirmed, Qt::QueuedConnection);
            return true;
        }
        break;
    }
    case QEvent::FocusOut: {
        // A context menu of the edit takes the focus only for a moment.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        QWidget* now = QApplication::focusWidget();
        if (reason != Qt::PopupFocusReason && now != m_edit && now != this) {
            endUnconfirmed();
        }
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

bool TextEntryWindow::ownKey(const QKeyEvent& key) {
    const int k = key.key();
    if (k != Qt::Key_Return && k != Qt::Key_Enter && k != Qt::Key_Escape) {
        return true;
    }
    if (key.type() == QEvent::KeyPress && !key.isAutoRepeat()) {
        m_keysDown.insert(k);
    }
    const bool own = m_keysDown.contains(k);
    if (key.type() == QEvent::KeyRelease && !key.isAutoRepeat()) {
        m_keysDown.remove(k);
    }
    return own;
}

bool TextEntryWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate) {
        endUnconfirmed();
    }
    return QDialog::event(event);
}

void TextEntryWindow::paintEvent(QPaintEvent*) {
    ctlPaintDialogFrame(this);
}

void TextEntryWindow::confirm() {
    if (m_ended) {
        return;
    }
    const QByteArray text = m_edit->text().toUtf8();
    const int n = utf8Prefix(text, kTextEntryResultSize - 1);
    std::memcpy(m_result, text.constData(), static_cast<size_t>(n));
    m_result[n] = '\0';
    done(Accepted);
}

void TextEntryWindow::endUnconfirmed() {
    if (!m_ended) {
        done(Rejected);
    }
}

void TextEntryWindow::done(int code) {
    // Every way out passes here, the close request included.
    m_ended = true;
    if (ctlPopups().textEntry == this) {
        ctlPopups().textEntry = nullptr;
    }
    QDialog::done(code);
}

std::unique_ptr<char[]> TextEntryDialog(QWidget* owner, uint32_t style, int x, int y, int width,
                                        int height, const QString& initialText) {
    QPointer<TextEntryWindow> dialog =
        new TextEntryWindow(owner, style, x, y, width, height, initialText);
    dialog->exec();
    // The window is gone if its owner was destroyed meanwhile: nothing was
    // confirmed then.
    const QByteArray text = dialog ? QByteArray(dialog->resultText()) : QByteArray();
    std::unique_ptr<char[]> result(new (std::nothrow) char[kTextEntryResultSize]);
    if (result) {
        std::memset(result.get(), 0, kTextEntryResultSize);
        std::memcpy(result.get(), text.constData(),
                    std::min(static_cast<size_t>(text.size()),
                             static_cast<size_t>(kTextEntryResultSize - 1)));
    }
    delete dialog.data();
    return result;
}
