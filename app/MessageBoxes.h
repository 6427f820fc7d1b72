#pragma once
// The program's three message boxes and its file dialogs, behind one small interface, so that
// the window's commands can be driven without a person answering them (the tests script the
// answers; the program shows the real boxes).
#include <memory>

#include <QString>

class QMessageBox;
class QWidget;

namespace lepotex {

enum class Answer { Yes, No, Cancel };

// The question: title "Confirm", "&Yes" (default, Enter), "&No", "Cancel" (Esc, close box).
std::unique_ptr<QMessageBox> MakeConfirmBox(QWidget* parent, const QString& text);
// The not-found message: title "Information", "OK".
std::unique_ptr<QMessageBox> MakeInformationBox(QWidget* parent, const QString& text);
// Refusals, closing messages and error reports: titled with the application's title, "OK".
std::unique_ptr<QMessageBox> MakePlainBox(QWidget* parent, const QString& text);

class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    virtual Answer Confirm(QWidget* parent, const QString& text);
    virtual void Inform(QWidget* parent, const QString& text);
    virtual void Plain(QWidget* parent, const QString& text);
    // The chosen file in the platform's form, or an empty string when the dialog was cancelled.
    virtual QString OpenFileName(QWidget* parent);
    virtual QString SaveFileName(QWidget* parent);
};

}  // namespace lepotex
