#include "app/export_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>
#include <charconv>

namespace tessaly {

namespace {
QString Latin1(std::string_view text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }

// The words of a choice and their texts in the dialog.
QComboBox* ChoiceCombo(QWidget* parent, const FormatOption& option)
{
    auto* combo = new QComboBox(parent);
    const QStringList words = QString::fromLatin1(option.values).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QStringList texts = QString::fromLatin1(option.labels).split(QLatin1Char('|'));
    for (qsizetype i = 0; i < words.size(); ++i) combo->addItem(i < texts.size() ? texts[i] : words[i], words[i]);
    return combo;
}

// The units, the points' own (UNIT) marked and the others said to convert.
QComboBox* UnitCombo(QWidget* parent, LinearUnit unit)
{
    auto* combo = new QComboBox(parent);
    for (const LinearUnit u : {LinearUnit::Metre, LinearUnit::UsSurveyFoot, LinearUnit::Foot}) {
        QString text = Latin1(UnitName(u));
        text[0] = text[0].toUpper();
        if (u == unit) text += QStringLiteral(" (the points' unit)");
        else if (unit != LinearUnit::Unknown) text += QStringLiteral(" (converted)");
        combo->addItem(text, Latin1(UnitWord(u)));
    }
    return combo;
}

// The shortest text that reads back as VALUE: "2.5".
std::string NumberText(double value)
{
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}
}  // namespace

ExportOptionsDialog::ExportOptionsDialog(const Format& writer, const std::string& file, LinearUnit unit,
                                         QWidget* parent)
    : QDialog(parent), writer_(writer)
{
    setWindowTitle(QStringLiteral("Export Options"));
    const auto& remembered = LastChoices().exported;
    const auto last = remembered.find(writer.id);
    OptionValues offered = last != remembered.end() ? last->second : OfferedValues(writer, file, unit);
    // The points' own unit whenever it is known: another converts them.
    for (const FormatOption& option : writer.writeOptions)
        if (option.kind == FormatOption::Kind::Unit && unit != LinearUnit::Unknown)
            offered[option.name] = std::string(UnitWord(unit));

    auto* top = new QVBoxLayout(this);
    auto* box = new QGroupBox(QString::fromLatin1(writer.optionsTitle), this);
    auto* form = new QFormLayout(box);
    top->addWidget(box);
    for (const FormatOption& option : writer.writeOptions)
        if (option.labels) AddField(form, option, offered, unit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    top->addWidget(buttons);
}

void ExportOptionsDialog::AddField(QFormLayout* form, const FormatOption& option, const OptionValues& offered,
                                   LinearUnit unit)
{
    using Kind = FormatOption::Kind;
    const std::string* value = Given(offered, option.name);
    const QString text = value ? QString::fromStdString(*value) : QString();
    QWidget* field = nullptr;
    switch (option.kind) {
    case Kind::Flag: {
        auto* check = new QCheckBox(QString::fromLatin1(option.labels), this);
        check->setChecked(value != nullptr);
        field = check;
        break;
    }
    case Kind::Choice:
    case Kind::Unit: {
        QComboBox* combo = option.kind == Kind::Unit ? UnitCombo(this, unit) : ChoiceCombo(this, option);
        combo->setCurrentIndex(std::max(0, combo->findData(text)));
        field = combo;
        break;
    }
    case Kind::Number: {
        auto* spin = new QDoubleSpinBox(this);
        spin->setDecimals(3);
        spin->setRange(option.min, option.max);
        spin->setValue(text.toDouble());
        field = spin;
        break;
    }
    case Kind::Integer: {
        // An option without a default offers "not given" below its range,
        // under the option's text for it ("As read").
        auto* spin = new QSpinBox(this);
        const bool optional = *option.labels != '\0';
        spin->setRange(static_cast<int>(option.min) - (optional ? 1 : 0), static_cast<int>(option.max));
        if (optional) spin->setSpecialValueText(QString::fromLatin1(option.labels));
        spin->setValue(value ? text.toInt() : spin->minimum());
        field = spin;
        break;
    }
    case Kind::Text: field = new QLineEdit(text, this); break;
    }
    field->setObjectName(QString::fromLatin1(option.name));
    form->addRow(QString::fromLatin1(option.caption), field);
    fields_.emplace_back(&option, field);
}

OptionValues ExportOptionsDialog::Values() const
{
    using Kind = FormatOption::Kind;
    OptionValues values;
    for (const auto& [option, field] : fields_) {
        switch (option->kind) {
        case Kind::Flag:
            if (static_cast<QCheckBox*>(field)->isChecked()) values[option->name] = "yes";
            break;
        case Kind::Choice:
        case Kind::Unit: values[option->name] = static_cast<QComboBox*>(field)->currentData().toString().toStdString(); break;
        case Kind::Number: values[option->name] = NumberText(static_cast<QDoubleSpinBox*>(field)->value()); break;
        case Kind::Integer: {
            const auto* spin = static_cast<QSpinBox*>(field);
            if (spin->specialValueText().isEmpty() || spin->value() != spin->minimum())
                values[option->name] = std::to_string(spin->value());
            break;
        }
        case Kind::Text: values[option->name] = static_cast<QLineEdit*>(field)->text().toStdString(); break;
        }
    }
    return values;
}

void ExportOptionsDialog::accept()
{
    LastChoices().exported[writer_.id] = Values();
    QDialog::accept();
}

DialogChoices& LastChoices()
{
    static DialogChoices choices;
    return choices;
}

void ForgetDialogChoices() { LastChoices() = {}; }

}  // namespace tessaly
