#pragma once
// The settings dialog "Lepotex - nastavení": three tabs that edit the five glue settings,
// with OK as its only button. It edits a copy; `Edit` runs the whole menu command, from
// filling the controls to storing the outcome.
//
// Text in its fields is Unicode on screen and Windows-1250 in the settings. OK refuses a
// character that Windows-1250 cannot hold, names it and leaves the dialog open, so nothing
// is lost and nothing is changed.
#include <QDialog>
#include <QString>

#include "settings/Settings.h"

class QCheckBox;
class QPlainTextEdit;
class QSpinBox;
class QTabWidget;

namespace lepotex {

class SettingsStore;

// Whether the settings in memory are what the store holds. After a failed read at start-up
// the values past the failing one were never read; they must not overwrite the stored ones.
enum class SettingsLoadState { Loaded, Failed };

class TLepotexConfigForm : public QDialog {
    Q_OBJECT
public:
    explicit TLepotexConfigForm(QWidget* parent = nullptr);

    // Fills the controls. An indent size above 80 is shown as 80.
    void SetValues(const Settings& settings);
    // The controls' values over `base` (which supplies anything the dialog does not edit).
    // The lists are the fields' lines, untrimmed, blank ones included; the indent size is the
    // number field's text read as a number (0 when it is none), kept within 0 to 80.
    // Call only after `FirstUnencodable` found nothing: other characters would become '?'.
    [[nodiscard]] Settings Values(const Settings& base) const;

    // The first character in the text fields that Windows-1250 cannot hold (or a NUL, which
    // would cut the stored list short), with the field it is in; empty when there is none.
    struct Unencodable {
        QPlainTextEdit* field = nullptr;
        int position = 0;  // UTF-16 index into the field's text
        char32_t character = 0;
    };
    [[nodiscard]] Unencodable FirstUnencodable() const;

    // The menu command "Konfigurace": shows the dialog modally over `parent`. OK takes its
    // values into `settings`. Then the settings are stored: all five after any closing when
    // `loadState` is Loaded; after a failed load only on OK, and only the values the user
    // changed, so values never read cannot replace the stored ones. Returns whether OK was
    // pressed. A store error is thrown (ESettingsError) after `settings` has been updated.
    static bool Edit(QWidget* parent, Settings& settings, SettingsStore& store, SettingsLoadState loadState);

    // The message shown when OK meets a character outside the code page.
    [[nodiscard]] static QString UnencodableMessage(char32_t character);

    static constexpr int kMaxIndentSize = 80;

public slots:
    void accept() override;

private:
    QTabWidget* pgcOdsazeni;
    QCheckBox* chkOdsazeni;
    QCheckBox* chkNoGlueCAPS;
    QSpinBox* cedOdsazeni;
    QPlainTextEdit* memoNelepit;
    QPlainTextEdit* memoAuto;
};

}  // namespace lepotex
