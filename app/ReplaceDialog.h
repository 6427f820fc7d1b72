#pragma once
// The modeless replace dialog (`dlgReplace`): search and replacement texts, whole word and
// match case. Like the find dialog it only tells the window what the user asked for.
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace lepotex {

class TReplaceDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxTextLength = 255;

    explicit TReplaceDialog(QWidget* parent = nullptr);

    QString FindText() const;
    QString ReplaceText() const;
    bool MatchCase() const;
    bool WholeWord() const;

    QLineEdit* edtFind = nullptr;
    QLineEdit* edtReplace = nullptr;
    QCheckBox* chkWholeWord = nullptr;
    QCheckBox* chkMatchCase = nullptr;
    QPushButton* btnFindNext = nullptr;
    QPushButton* btnReplace = nullptr;
    QPushButton* btnReplaceAll = nullptr;
    QPushButton* btnCancel = nullptr;

signals:
    void findRequested();
    void replaceRequested(bool all);
};

}  // namespace lepotex
