// The import and export dialogs of text point files, driven as a user would.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "gui_support.h"
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
        delimiter = Child<QLabel>(d, "delimiter")->text();
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

TEST(ExportOptionsDialog, DefaultsByNameAndTheLastChoiceAgain)
{
    TempDir dir;
    const auto txt = dir.Path("out.txt");
    ExportOptionsDialog dialog(txt);
    QString delimiter, encoding, lineEnd, layout;
    bool header = true;
    WhenModalShown([&](QWidget* d) {
        layout = Child<QComboBox>(d, "layout")->currentText();
        delimiter = Child<QComboBox>(d, "delimiter")->currentText();
        encoding = Child<QComboBox>(d, "encoding")->currentText();
        lineEnd = Child<QComboBox>(d, "lineEnd")->currentText();
        header = Child<QCheckBox>(d, "header")->isChecked();
        auto* order = Child<QComboBox>(d, "layout");
        order->setCurrentIndex(order->findText(QStringLiteral("NEZD")));
        auto* delim = Child<QComboBox>(d, "delimiter");
        delim->setCurrentIndex(delim->findText(QStringLiteral("Semicolon")));
        Child<QCheckBox>(d, "header")->setChecked(true);
        auto* enc = Child<QComboBox>(d, "encoding");
        enc->setCurrentIndex(enc->findText(QStringLiteral("UTF-8")));
        auto* ends = Child<QComboBox>(d, "lineEnd");
        ends->setCurrentIndex(1);
        Press(d, QDialogButtonBox::Ok);
    });
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(layout, QStringLiteral("PNEZD"));
    EXPECT_EQ(delimiter, QStringLiteral("Space"));
    EXPECT_EQ(encoding, QStringLiteral("Windows-1252"));
    EXPECT_EQ(lineEnd, QStringLiteral("CR LF (Windows)"));
    EXPECT_FALSE(header);

    // What was chosen writes the file it says.
    PointTable table;
    table.AddPoint({"1", "5000", "1000", "100", "CAF\xC3\x89"});
    WriteTextPointsFile(table, txt, dialog.TextOptions());
    EXPECT_EQ(ReadBytes(txt), "Northing;Easting;Elevation;Description\n5000;1000;100;CAF\xC3\x89\n");

    // Offered again for the same ending; a *.csv name still gets its defaults.
    const TextWriteOptions again = ExportOptionsDialog(dir.Path("second.TXT")).TextOptions();
    EXPECT_EQ(again.layout, TextLayout::NEZD);
    EXPECT_EQ(again.delimiter, TextDelimiter::Semicolon);
    EXPECT_TRUE(again.header);
    EXPECT_EQ(again.encoding, TextEncoding::Utf8);
    EXPECT_EQ(again.lineEnd, TextLineEnd::Lf);
    const TextWriteOptions csv = ExportOptionsDialog(dir.Path("a.csv")).TextOptions();
    EXPECT_EQ(csv.delimiter, TextDelimiter::Comma);
    EXPECT_EQ(csv.layout, TextLayout::PNEZD);
    EXPECT_FALSE(csv.header);
}
