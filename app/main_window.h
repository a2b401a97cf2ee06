// MainWindow: the "w_principale" window. A fixed-size top-level widget with
// the "MenuMonApp" menu bar above the panel face (its client area of 250 x
// 278 pixels). It owns the widgets; AppShell decides what they do.
//
// Thread: main thread only.
#pragma once

#include <QWidget>

class AppShell;
class PanelFace;
class QAction;
class QMenu;
class QMenuBar;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kClassName = "w_principale";
    static constexpr const char* kCaption = "Korvalo Cor.";
    // Property of every menu action holding its text exactly as the menu
    // resource stores it ("&Play   F1"); the action's own text shows the key
    // in the shortcut column instead ("&Play\tF1").
    static constexpr const char* kStoredTextProperty = "storedText";

    explicit MainWindow(AppShell& shell);

    PanelFace* face() const { return m_face; }
    QMenuBar* menuBar() const { return m_menuBar; }
    QMenu* commandMenu() const { return m_commandMenu; }
    QMenu* latencyMenu() const { return m_latencyMenu; }
    // The action carrying command `id` in the menu bar, or nullptr.
    QAction* menuAction(int id) const;

    // Fixes the window to the face plus the menu bar; never resizable.
    void applyFixedSize();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    AppShell& m_shell;
    QMenuBar* m_menuBar = nullptr;
    QMenu* m_commandMenu = nullptr;
    QMenu* m_latencyMenu = nullptr;
    PanelFace* m_face = nullptr;
};

// Splits a stored menu text at its run of blanks before a key name:
// "&Play   F1" -> "&Play\tF1". Texts without such a key stay as they are.
QString menuDisplayText(const QString& stored);
