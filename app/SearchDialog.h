#pragma once
// What the find and replace dialogs share: the search text, whole word, match case, "Najít
// další" and the cancel button. The dialogs search nothing themselves; they ask the window
// through `findRequested`.
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace lepotex {

class TSearchDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxTextLength = 255;

    QString FindText() const;
    void SetFindText(const QString& text);
    bool MatchCase() const;
    bool WholeWord() const;

    QLineEdit* edtFind = nullptr;
    QCheckBox* chkWholeWord = nullptr;
    QCheckBox* chkMatchCase = nullptr;
    QPushButton* btnFindNext = nullptr;
    QPushButton* btnCancel = nullptr;

signals:
    void findRequested();

protected:
    TSearchDialog(const QString& title, QWidget* parent);
};

}  // namespace lepotex
