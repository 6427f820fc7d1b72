#pragma once
// The on-screen view of the headless TextEditor: draws the visible display lines, turns keys,
// mouse and input-method text into editor commands, and speaks to the clipboard. The editor
// it shows is its own (`memoText` of the main window); everything about the text itself
// stays in the core.
//
// Errors of a user command cannot leave a Qt event handler, so the view catches them and
// hands their message to `errorReported`; the main window connects it to its general error
// report. When nothing is connected, the view shows the message itself.
#include <QAbstractScrollArea>
#include <QString>

#include "editor/TextEditor.h"

class QMenu;

namespace lepotex {

class EditorView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit EditorView(QWidget* parent = nullptr);
    ~EditorView() override;

    TextEditor& Editor() { return editor; }
    const TextEditor& Editor() const { return editor; }

    // The menu the right mouse button opens; the view does not own it.
    void SetPopupMenu(QMenu* menu) { popupMenu = menu; }

    // The clipboard commands, also reached through the key table.
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();

    // Repaints at once (the editor's `Repaint`).
    void RepaintNow();

    // Word wrap to the window: WrapColumn follows the width on creation, resize and font change.
    bool WrapToWindow() const { return wrapToWindow; }
    void SetWrapToWindow(bool on);
    // The number of whole character columns between the margins.
    int Columns() const;
    int Rows() const;

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

    static constexpr int kLeftMargin = 15;
    static constexpr int kRightMargin = 5;

signals:
    void changed();                              // OnChange
    void showStatus(int displayLine, int column); // OnShowStatus, delivered through the event queue
    void topLineChanged(int displayLine);         // OnTopLineChanged, at once
    void errorReported(const QString& message);   // an editor error of a user command
    void noticeReported(const QString& message);  // information, e.g. characters replaced on paste
    void beeped();                                // the editor refused something with a beep

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;

private:
    TextEditor editor;
    QMenu* popupMenu = nullptr;
    bool wrapToWindow = true;
    struct Private;
    Private* d = nullptr;
};

}  // namespace lepotex
