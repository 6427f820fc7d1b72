#pragma once
// The modeless replace dialog (`dlgReplace`): the shared search fields and the replacement
// text. Like the find dialog it only tells the window what the user asked for.
#include "app/SearchDialog.h"

namespace lepotex {

class TReplaceDialog : public TSearchDialog {
    Q_OBJECT
public:
    explicit TReplaceDialog(QWidget* parent = nullptr);

    QString ReplaceText() const;

    QLineEdit* edtReplace = nullptr;
    QPushButton* btnReplace = nullptr;
    QPushButton* btnReplaceAll = nullptr;

signals:
    void replaceRequested(bool all);
};

}  // namespace lepotex
