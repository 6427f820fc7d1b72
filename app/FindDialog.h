#pragma once
// The modeless find dialog (`dlgFind`): a search text, whole word, match case and the
// direction. It searches nothing itself; it asks the window through `findRequested`.
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace lepotex {

class TFindDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxTextLength = 255;

    explicit TFindDialog(QWidget* parent = nullptr);

    QString FindText() const;
    void SetFindText(const QString& text);
    bool MatchCase() const;
    bool WholeWord() const;
    bool Up() const;

    QLineEdit* edtFind = nullptr;
    QCheckBox* chkWholeWord = nullptr;
    QCheckBox* chkMatchCase = nullptr;
    QRadioButton* rbUp = nullptr;
    QRadioButton* rbDown = nullptr;
    QPushButton* btnFindNext = nullptr;
    QPushButton* btnCancel = nullptr;

signals:
    void findRequested();
};

}  // namespace lepotex
