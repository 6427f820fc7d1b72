#include "settings/dialog/LepotexCfg.h"

#include <algorithm>
#include <cmath>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "editor/Windows1250.h"
#include "settings/SettingsPersistence.h"
#include "settings/SettingsStore.h"

namespace lepotex {
namespace {

// The number field accepts an empty text, which reads as 0 (as any text that is no number).
class IndentSizeSpinBox final : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QValidator::State validate(QString& input, int& pos) const override
    {
        if (input.trimmed().isEmpty())
            return QValidator::Acceptable;
        return QSpinBox::validate(input, pos);
    }
    int valueFromText(const QString& text) const override
    {
        return text.trimmed().isEmpty() ? 0 : QSpinBox::valueFromText(text);
    }
};

QString ListToField(const std::vector<std::string>& list)
{
    QString text = QString::fromStdU16String(DecodeWindows1250(ListToText(list)));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::vector<std::string> FieldToList(const QPlainTextEdit& field)
{
    return TextToList(EncodeWindows1250(field.toPlainText().toStdU16String()));
}

// The number field's text as a number; whatever is no number reads as 0. The whole part of
// the number, brought into 0 to 80, is the indent size.
uint8_t IndentSizeFromText(const QString& text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = QLocale().toDouble(trimmed, &ok);
    if (!ok)
        value = trimmed.toDouble(&ok);
    if (!ok || std::isnan(value))
        value = 0;
    value = std::clamp(value, 0.0, double(TLepotexConfigForm::kMaxIndentSize));
    return uint8_t(std::trunc(value));
}

QPlainTextEdit* MakeListField(const char* name)
{
    auto* field = new QPlainTextEdit;
    field->setObjectName(QString::fromLatin1(name));
    field->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // One entry per line: wrapping would make one long entry look like two.
    field->setLineWrapMode(QPlainTextEdit::NoWrap);
    field->setTabChangesFocus(true);
    return field;
}

// The values the user changed, each written on its own.
void SaveChangedSettings(const Settings& before, const Settings& after, SettingsStore& store)
{
    SettingsStore::OpenGuard open(store);
    if (after.noCaps != before.noCaps)
        store.WriteBoolean(kSettingsSection, "NoCaps", after.noCaps);
    if (after.indent != before.indent)
        store.WriteBoolean(kSettingsSection, "Indent", after.indent);
    if (after.indentSize != before.indentSize)
        store.WriteInteger(kSettingsSection, "Indent size", after.indentSize);
    if (after.noGlue != before.noGlue)
        store.WriteString(kSettingsSection, "NoGlue", ListToText(after.noGlue));
    if (after.autoReplace != before.autoReplace)
        store.WriteString(kSettingsSection, "AutoReplace", ListToText(after.autoReplace));
}

}  // namespace

TLepotexConfigForm::TLepotexConfigForm(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Lepotex - nastavení"));
    setObjectName(QStringLiteral("LepotexConfigForm"));

    pgcOdsazeni = new QTabWidget;
    pgcOdsazeni->setObjectName(QStringLiteral("pgcOdsazeni"));

    // Tab "Nastavení"
    chkOdsazeni = new QCheckBox(QStringLiteral("Odsazovat začátky odstavců"));
    chkOdsazeni->setObjectName(QStringLiteral("chkOdsazeni"));
    chkOdsazeni->setToolTip(QStringLiteral("Mají se odsazovat začátky odstavců"));
    chkNoGlueCAPS = new QCheckBox(QStringLiteral("Nelepit řádky celé velkými písmeny"));
    chkNoGlueCAPS->setObjectName(QStringLiteral("chkNoGlueCAPS"));
    auto* basic = new QGroupBox(QStringLiteral("Základní nastavení"));
    auto* basicLayout = new QVBoxLayout(basic);
    basicLayout->addWidget(chkOdsazeni);
    basicLayout->addWidget(chkNoGlueCAPS);

    cedOdsazeni = new IndentSizeSpinBox;
    cedOdsazeni->setObjectName(QStringLiteral("cedOdsazeni"));
    cedOdsazeni->setRange(0, kMaxIndentSize);
    auto* indentLabel = new QLabel(QStringLiteral("Velikost odsazení:"));
    indentLabel->setBuddy(cedOdsazeni);
    auto* indentBox = new QGroupBox(QStringLiteral("Odsazení"));
    auto* indentLayout = new QHBoxLayout(indentBox);
    indentLayout->addWidget(indentLabel);
    indentLayout->addWidget(cedOdsazeni);
    indentLayout->addStretch();

    auto* tabConfigOdsazeni = new QWidget;
    tabConfigOdsazeni->setObjectName(QStringLiteral("tabConfigOdsazeni"));
    auto* configLayout = new QVBoxLayout(tabConfigOdsazeni);
    configLayout->addWidget(basic);
    configLayout->addWidget(indentBox);
    configLayout->addStretch();
    pgcOdsazeni->addTab(tabConfigOdsazeni, QStringLiteral("Nastavení"));

    // Tab "Nelepit"
    memoNelepit = MakeListField("memoNelepit");
    auto* noBreakLabel = new QLabel(QStringLiteral("Program nebude lepit řádky začínající těmito texty"));
    noBreakLabel->setWordWrap(true);
    noBreakLabel->setBuddy(memoNelepit);
    auto* tabNoBreak = new QWidget;
    tabNoBreak->setObjectName(QStringLiteral("tabNoBreak"));
    auto* noBreakLayout = new QVBoxLayout(tabNoBreak);
    noBreakLayout->addWidget(noBreakLabel);
    noBreakLayout->addWidget(memoNelepit, 1);
    pgcOdsazeni->addTab(tabNoBreak, QStringLiteral("Nelepit"));

    // Tab "Automatické opravy"; the help label shows "/" where the rules are written with "\".
    memoAuto = MakeListField("memoAuto");
    auto* lblHelp = new QLabel(QStringLiteral("hledaný text/nový text\nhledaný text/nový^ptext  \n(^p způsobí zalomení řádku)"));
    lblHelp->setObjectName(QStringLiteral("lblHelp"));
    auto* tabAutoCorrect = new QWidget;
    tabAutoCorrect->setObjectName(QStringLiteral("tabOdsazeniAutoCorrect"));
    auto* autoLayout = new QVBoxLayout(tabAutoCorrect);
    autoLayout->addWidget(memoAuto, 1);
    autoLayout->addWidget(lblHelp);
    pgcOdsazeni->addTab(tabAutoCorrect, QStringLiteral("Automatické opravy"));

    pgcOdsazeni->setCurrentIndex(0);

    auto* btnOK = new QPushButton(QStringLiteral("OK"));
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &TLepotexConfigForm::accept);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(btnOK);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pgcOdsazeni, 1);
    layout->addLayout(bottom);
    resize(440, 380);
}

void TLepotexConfigForm::SetValues(const Settings& settings)
{
    chkNoGlueCAPS->setChecked(settings.noCaps);
    chkOdsazeni->setChecked(settings.indent);
    cedOdsazeni->setValue(std::min<int>(settings.indentSize, kMaxIndentSize));
    memoNelepit->setPlainText(ListToField(settings.noGlue));
    memoAuto->setPlainText(ListToField(settings.autoReplace));
}

Settings TLepotexConfigForm::Values(const Settings& base) const
{
    Settings settings = base;
    settings.indent = chkOdsazeni->isChecked();
    settings.indentSize = IndentSizeFromText(cedOdsazeni->text());
    settings.noGlue = FieldToList(*memoNelepit);
    settings.autoReplace = FieldToList(*memoAuto);
    settings.noCaps = chkNoGlueCAPS->isChecked();
    return settings;
}

TLepotexConfigForm::Unencodable TLepotexConfigForm::FirstUnencodable() const
{
    for (QPlainTextEdit* field : {memoNelepit, memoAuto}) {
        const QString text = field->toPlainText();
        for (int i = 0; i < text.size(); ++i) {
            char32_t character = text[i].unicode();
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                character = QChar::surrogateToUcs4(text[i], text[i + 1]);
            if (character == 0 || !HasWindows1250Byte(character))
                return {field, i, character};
            if (character > 0xFFFF)
                ++i;
        }
    }
    return {};
}

QString TLepotexConfigForm::UnencodableMessage(char32_t character)
{
    const QString hex = QStringLiteral("U+%1").arg(uint(character), 4, 16, QLatin1Char('0')).toUpper();
    QString shown;
    if (character >= 0x20 && !(character >= 0xD800 && character <= 0xDFFF) && character != 0x7F)
        shown = QStringLiteral("„%1“ ").arg(QString::fromUcs4(&character, 1));
    return QStringLiteral("Znak %1(%2) nelze uložit do nastavení, které je v kódové stránce Windows-1250. "
                          "Opravte jej, prosím.")
        .arg(shown, hex);
}

void TLepotexConfigForm::accept()
{
    const Unencodable bad = FirstUnencodable();
    if (bad.field) {
        pgcOdsazeni->setCurrentWidget(bad.field->parentWidget());
        QTextCursor cursor = bad.field->textCursor();
        cursor.setPosition(bad.position);
        cursor.setPosition(bad.position + (bad.character > 0xFFFF ? 2 : 1), QTextCursor::KeepAnchor);
        bad.field->setTextCursor(cursor);
        bad.field->setFocus();
        QMessageBox::warning(this, QStringLiteral("Lepotex"), UnencodableMessage(bad.character));
        return;
    }
    QDialog::accept();
}

bool TLepotexConfigForm::Edit(QWidget* parent, Settings& settings, SettingsStore& store, SettingsLoadState loadState)
{
    TLepotexConfigForm dialog(parent);
    dialog.SetValues(settings);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    const Settings before = settings;
    if (accepted)
        settings = dialog.Values(settings);
    if (loadState == SettingsLoadState::Loaded)
        SaveSettings(settings, store);
    else if (accepted)
        SaveChangedSettings(before, settings, store);
    return accepted;
}

}  // namespace lepotex
