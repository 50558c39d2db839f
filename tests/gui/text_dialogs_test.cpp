// The import and export dialogs of text point files, driven as a user would.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

#include "gui_support.h"
#include "app/export_dialog.h"
#include "app/text_dialogs.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {
template <class T>
T* Child(QWidget* w, const char* name)
{
    return w->findChild<T*>(QString::fromLatin1(name));
}

void Press(QWidget* dialog, QDialogButtonBox::StandardButton which)
{
    dialog->findChild<QDialogButtonBox*>()->button(which)->click();
}
}  // namespace

TEST(TextImportDialog, PreviewsInTheChosenOrderAndRemembersIt)
{
    TempDir dir;
    const auto path = dir.Path("job.txt");
    WriteBytes(path, "# job\r\n1 1000 5000 100 IP FOUND\r\n2 1001 5001 101 \"CAF\xC9\"\r\n");

    QStringList before, after;
    QString delimiter;
    QString cell;
    TextImportDialog dialog(path);
    WhenModalShown([&](QWidget* d) {
        auto* table = Child<QTableWidget>(d, "preview");
        const auto captions = [table] {
            QStringList out;
            for (int c = 0; c < table->columnCount(); ++c) out << table->horizontalHeaderItem(c)->text();
            return out;
        };
        before = captions();
        delimiter = Child<QComboBox>(d, "delimiter")->currentText();
        cell = table->item(1, 4)->text();
        auto* layout = Child<QComboBox>(d, "layout");
        layout->setCurrentIndex(layout->findText(QStringLiteral("PENZD")));
        after = captions();
        Press(d, QDialogButtonBox::Ok);
    });
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(before, (QStringList{"POINT", "NORTHING", "EASTING", "ELEVATION", "DESCRIPTION"}));
    EXPECT_EQ(after, (QStringList{"POINT", "EASTING", "NORTHING", "ELEVATION", "DESCRIPTION"}));
    EXPECT_EQ(delimiter, QStringLiteral("Blanks"));
    EXPECT_EQ(cell, QString::fromUtf8("CAF\xC3\x89"));
    EXPECT_EQ(dialog.Options().layout, TextLayout::PENZD);

    // The next dialog offers the order chosen; Cancel keeps it.
    TextImportDialog again(path);
    QString offered;
    WhenModalShown([&](QWidget* d) {
        offered = Child<QComboBox>(d, "layout")->currentText();
        auto* layout = Child<QComboBox>(d, "layout");
        layout->setCurrentIndex(layout->findText(QStringLiteral("NEZ")));
        Press(d, QDialogButtonBox::Cancel);
    });
    EXPECT_EQ(again.exec(), QDialog::Rejected);
    EXPECT_EQ(offered, QStringLiteral("PENZD"));
    EXPECT_EQ(TextImportDialog(path).Options().layout, TextLayout::PENZD);
}

// Every choice shows in the preview at once, and the options read the file
// as the preview shows it.
TEST(TextImportDialog, ColumnDelimiterHeaderAndSkipChoicesShowInThePreview)
{
    TempDir dir;
    const auto path = dir.Path("xy.csv");
    // A title line, then a header naming X and Y: easting and northing.
    WriteBytes(path, "Site 4\r\nX;Y;Z;Code\r\n1000;5000;10;IP\r\n1001;5001;11;CP\r\n");
    TextImportDialog d(path);
    auto* table = Child<QTableWidget>(&d, "preview");
    const auto captions = [table] {
        QStringList out;
        for (int c = 0; c < table->columnCount(); ++c) out << table->horizontalHeaderItem(c)->text();
        return out.join(u' ').toStdString();
    };
    const auto choose = [&](const char* combo, const char* text) {
        auto* c = Child<QComboBox>(&d, combo);
        c->setCurrentIndex(c->findText(QString::fromLatin1(text)));
    };
    const auto ok = [&] { return d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled(); };

    Child<QSpinBox>(&d, "skip")->setValue(1);
    EXPECT_TRUE(Child<QCheckBox>(&d, "header")->isChecked());
    EXPECT_EQ(Child<QComboBox>(&d, "delimiter")->currentText(), "Semicolon");
    EXPECT_EQ(captions(), "EASTING NORTHING ELEVATION DESCRIPTION");
    EXPECT_EQ(Child<QComboBox>(&d, "column0")->currentText(), "Easting");
    EXPECT_EQ(table->item(1, 0)->text(), "1000");

    choose("column0", "Northing");  // northing first after all: the two swap
    EXPECT_EQ(captions(), "NORTHING EASTING ELEVATION DESCRIPTION");
    EXPECT_EQ(d.Options().columns, "NEZD");
    EXPECT_EQ(Child<QComboBox>(&d, "layout")->currentText(), "NEZD");
    choose("column2", "Not read");
    EXPECT_EQ(d.Options().columns, "NE-D");
    EXPECT_EQ(Child<QComboBox>(&d, "layout")->currentText(), "") << "no column order of its own";
    choose("column1", "Description");
    EXPECT_FALSE(ok()) << "no easting column";
    EXPECT_FALSE(Child<QLabel>(&d, "problem")->isHidden());
    choose("column1", "Easting");
    EXPECT_TRUE(ok());

    Child<QCheckBox>(&d, "header")->setChecked(false);
    EXPECT_EQ(table->item(0, 0)->text(), "X") << "the names are a row now";
    choose("delimiter", "Comma");
    EXPECT_EQ(table->columnCount(), 4) << "the mapping's columns stay";
    EXPECT_EQ(table->item(1, 0)->text(), "1000;5000;10;IP");
    Child<QSpinBox>(&d, "skip")->setValue(0);
    EXPECT_EQ(table->item(0, 0)->text(), "Site 4");

    choose("layout", "PENZD");
    EXPECT_EQ(captions(), "POINT EASTING NORTHING ELEVATION DESCRIPTION");
    const TextReadOptions o = d.Options();
    EXPECT_EQ(o.columns, "PENZD");
    EXPECT_EQ(o.delimiter, TextDelimiter::Comma);
    EXPECT_EQ(o.header, false);
    EXPECT_EQ(o.skipLines, 0);
}

TEST(ExportOptionsDialog, DefaultsByNameAndTheLastChoiceAgain)
{
    TempDir dir;
    const auto txt = dir.Path("out.txt");
    ExportOptionsDialog dialog(*ChooseWriter(txt), txt, LinearUnit::Unknown);
    QString delimiter, encoding, layout;
    bool header = true, lf = true;
    WhenModalShown([&](QWidget* d) {
        layout = Child<QComboBox>(d, "columns")->currentText();
        delimiter = Child<QComboBox>(d, "delimiter")->currentText();
        encoding = Child<QComboBox>(d, "encoding")->currentText();
        lf = Child<QCheckBox>(d, "lf")->isChecked();
        header = Child<QCheckBox>(d, "header")->isChecked();
        auto* order = Child<QComboBox>(d, "columns");
        order->setCurrentIndex(order->findText(QStringLiteral("NEZD")));
        auto* delim = Child<QComboBox>(d, "delimiter");
        delim->setCurrentIndex(delim->findText(QStringLiteral("Semicolon")));
        Child<QCheckBox>(d, "header")->setChecked(true);
        auto* enc = Child<QComboBox>(d, "encoding");
        enc->setCurrentIndex(enc->findText(QStringLiteral("UTF-8")));
        Child<QCheckBox>(d, "lf")->setChecked(true);
        Press(d, QDialogButtonBox::Ok);
    });
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(layout, QStringLiteral("PNEZD"));
    EXPECT_EQ(delimiter, QStringLiteral("Space"));
    EXPECT_EQ(encoding, QStringLiteral("Windows-1252"));
    EXPECT_FALSE(lf);
    EXPECT_FALSE(header);

    // What was chosen writes the file it says.
    PointTable table;
    table.AddPoint({"1", "5000", "1000", "100", "CAF\xC3\x89"});
    ChooseWriter(txt)->write(table, txt, dialog.Values());
    EXPECT_EQ(ReadBytes(txt), "Northing;Easting;Elevation;Description\n5000;1000;100;CAF\xC3\x89\n");

    // Offered again for the same format; a *.csv name still gets its defaults.
    const std::string second = dir.Path("second.TXT"), csv = dir.Path("a.csv");
    const OptionValues again = ExportOptionsDialog(*ChooseWriter(second), second, LinearUnit::Unknown).Values();
    EXPECT_EQ(again, (OptionValues{{"columns", "NEZD"}, {"delimiter", "semicolon"}, {"encoding", "utf-8"},
                                   {"header", "yes"}, {"lf", "yes"}}));
    const OptionValues offered = ExportOptionsDialog(*ChooseWriter(csv), csv, LinearUnit::Unknown).Values();
    EXPECT_EQ(offered, (OptionValues{{"columns", "PNEZD"}, {"delimiter", "comma"}, {"encoding", "cp1252"}}));
}
