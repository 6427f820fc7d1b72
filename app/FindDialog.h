#pragma once
// The modeless find dialog (`dlgFind`): the shared search fields and the direction.
#include "app/SearchDialog.h"

class QRadioButton;

namespace lepotex {

class TFindDialog : public TSearchDialog {
    Q_OBJECT
public:
    explicit TFindDialog(QWidget* parent = nullptr);

    bool Up() const;

    QRadioButton* rbUp = nullptr;
    QRadioButton* rbDown = nullptr;
};

}  // namespace lepotex
