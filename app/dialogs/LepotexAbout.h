#pragma once
// The About box: the logo, the program's name, version and purpose, and an OK button that
// Enter presses. A fixed 252 x 255 box, centred on the screen each time it is shown.
#include <QDialog>
#include <QImage>

class QLabel;

namespace lepotex {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    // The logo as decoded from the program's resources (a JPEG); null when the image
    // plugin for JPEG is missing, in which case the box shows no picture.
    [[nodiscard]] static QImage Logo();

    static constexpr char kVersionText[] = "verze 1.2 (19.1.2003)";

protected:
    // Sets the version text anew and centres the box on its screen.
    void showEvent(QShowEvent* event) override;

private:
    QLabel* Version;
};

}  // namespace lepotex
