#pragma once
// The help window: the manual "Lepotex.txt", loaded once at start-up, in an editable viewer.
// Plain text is read as Windows-1250; a file that begins with "{\rtf" is shown as the text
// of its rich text. Edits stay in the window and are never written back.
#include <stdexcept>

#include <QDialog>
#include <QString>
#include <QStringList>

class QPlainTextEdit;

namespace lepotex {

// The manual could not be found or read; the message is the one the user reads.
class EHelpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr char kManualFileName[] = "Lepotex.txt";

class THelpForm : public QDialog {
    Q_OBJECT
public:
    explicit THelpForm(QWidget* parent = nullptr);

    // Where the manual is looked for, in this order: the current working folder, the
    // program's own folder, the installed data folder (found from the program's folder, then
    // by the path the build was configured for). A program started from a desktop menu has
    // some other working folder and still finds its manual.
    [[nodiscard]] static QStringList ManualFolders();

    // Loads the manual from the first folder that holds a readable "Lepotex.txt". When none
    // does, the viewer is left empty and EHelpError "Cannot open file NAME" is thrown, NAME
    // being the file that could not be read, or the bare name when there was none.
    void LoadManual(const QStringList& folders = ManualFolders());

    // The file shown, empty when none was loaded.
    [[nodiscard]] const QString& ManualPath() const { return manualPath; }
    // The viewer's text.
    [[nodiscard]] QString Text() const;

private:
    QPlainTextEdit* red;
    QString manualPath;
};

// The text of a manual file's bytes: rich text when they begin with "{\rtf", else
// Windows-1250 plain text; line ends CR LF, CR or LF all become one line break.
[[nodiscard]] QString ManualText(const QByteArray& bytes);

}  // namespace lepotex
