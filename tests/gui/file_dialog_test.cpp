#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>

#include "gui_support.h"
#include "qt/file_dialog.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

TEST(DialogNameFilters, KeepTheEntryTextAndMatchEveryFileForStarDotStar)
{
    const struct {
        std::string filter;
        QStringList expected;
    } cases[] = {
        {"All Files (*.*)|*.*|", {"All Files (*.*) (*)"}},
        {"All Files (*.*)|*.*|ASCII PNEZD Coordinates (*.asc)|*.asc|",
         {"All Files (*.*) (*)", "ASCII PNEZD Coordinates (*.asc) (*.asc)"}},
        {"Points|*.crd;*.cr5|", {"Points (*.crd *.cr5)"}},
        {"Points|*.crd", {"Points (*.crd)"}},  // no closing bar
        {"Points", {"Points (*)"}},            // no pattern at all
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(DialogNameFilters(c.filter), c.expected) << c.filter;
}

namespace {
QFileDialog* AsFileDialog(QWidget* w) { return qobject_cast<QFileDialog*>(w); }

void TypeName(QWidget* modal, const QString& name)
{
    ASSERT_NE(AsFileDialog(modal), nullptr);
    TypeIntoFileDialog(modal, name);
}

QSet<QString> ListedNames(QFileDialog* dialog)
{
    QSet<QString> names;
    auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
    if (!list) return names;
    const QModelIndex root = list->rootIndex();
    for (int i = 0; i < list->model()->rowCount(root); ++i)
        names.insert(list->model()->index(i, 0, root).data().toString());
    return names;
}

const std::string kOpenFilter =
    "All Files (*.*)|*.*|Orvelle Coordinate Files (*.crd)|*.crd|Surveyor One Coordinates (*.*)|*.*|";
}  // namespace

TEST(FileDialog, ShowsTheEntriesAsGivenAndStarDotStarListsNamesWithoutADot)
{
    TempDir dir;
    for (const char* name : {"a.crd", "B.CRD", "JOB1", "notes.txt"}) WriteBytes(dir.Path(name), "x");
    FileDialog dialog;
    dialog.CancelError = true;
    dialog.Filter = kOpenFilter;
    dialog.FileName = dir.Path("a.crd");

    QStringList entries;
    QSet<QString> all, crd, surveyorOne;
    WhenModalShown([&](QWidget* modal) {
        auto* d = AsFileDialog(modal);
        auto* combo = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        for (int i = 0; combo && i < combo->count(); ++i) entries << combo->itemText(i);
        const QStringList filters = d->nameFilters();
        WaitFor([&] { return ListedNames(d).size() == 4; });
        all = ListedNames(d);
        d->selectNameFilter(filters[1]);
        WaitFor([&] { return ListedNames(d).size() == 2; });
        crd = ListedNames(d);
        d->selectNameFilter(filters[2]);
        WaitFor([&] { return ListedNames(d).size() == 4; });
        surveyorOne = ListedNames(d);
        d->reject();
    });
    EXPECT_THROW(dialog.ShowOpen(), DialogCancelled);

    EXPECT_EQ(entries, (QStringList{"All Files (*.*)", "Orvelle Coordinate Files (*.crd)",
                                    "Surveyor One Coordinates (*.*)"}));
    const QSet<QString> everything{"a.crd", "B.CRD", "JOB1", "notes.txt"};
    EXPECT_EQ(all, everything);
    EXPECT_EQ(crd, (QSet<QString>{"a.crd", "B.CRD"}));  // any letter case
    EXPECT_EQ(surveyorOne, everything);
    EXPECT_EQ(dialog.FileName, dir.Path("a.crd")) << "cancel keeps the last name";
}

TEST(FileDialog, OpenReturnsTheTypedNameAsAFullPathAndOffersItAgain)
{
    TempDir dir;
    WriteBytes(dir.Path("site1.crd"), "x");
    FileDialog dialog;
    dialog.CancelError = true;
    dialog.Filter = kOpenFilter;
    dialog.FileName = dir.Path("elsewhere.crd");  // its folder is where the dialog starts

    WhenModalShown([&](QWidget* modal) { TypeName(modal, QStringLiteral("site1.crd")); });
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName, dir.Path("site1.crd"));

    QString offered;
    WhenModalShown([&](QWidget* modal) {
        offered = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
        static_cast<QDialog*>(modal)->reject();
    });
    EXPECT_THROW(dialog.ShowOpen(), DialogCancelled);
    EXPECT_EQ(offered, QStringLiteral("site1.crd"));
}

TEST(FileDialog, CancelWithoutTheErrorOptionGivesAnEmptyName)
{
    FileDialog dialog;
    dialog.FileName = "/tmp/x.asc";
    dialog.SetAnswerer([](const FileDialogRequest&) { return std::optional<QString>(); });
    EXPECT_NO_THROW(dialog.ShowSave());
    EXPECT_EQ(dialog.FileName, "");
}

TEST(FileDialog, SaveAsksBeforeReplacingAnExistingFile)
{
    const struct {
        bool confirm;
        bool throws;
    } cases[] = {{true, false}, {false, true}};
    for (const auto& c : cases) {
        TempDir dir;
        WriteBytes(dir.Path("out.asc"), "old");
        FileDialog dialog;
        dialog.CancelError = true;
        dialog.Filter = "ASCII PNEZD Coordinates (*.asc)|*.asc|";
        dialog.Flags = FileDialog::OverwritePrompt;
        dialog.FileName = dir.Path("out.asc");

        bool asked = false;
        WhenModalShown([&](QWidget* fileDialog) {
            WhenModalShown(
                [&, fileDialog](QWidget* box) {
                    auto* question = qobject_cast<QMessageBox*>(box);
                    asked = question != nullptr;
                    if (!question) return;
                    question->button(c.confirm ? QMessageBox::Yes : QMessageBox::No)->click();
                    // Said no: the file dialog stays; leave it.
                    if (!c.confirm) QTimer::singleShot(50, fileDialog, [fileDialog] {
                        static_cast<QDialog*>(fileDialog)->reject();
                    });
                },
                fileDialog);
            TypeName(fileDialog, QStringLiteral("out.asc"));
        });
        if (c.throws) EXPECT_THROW(dialog.ShowSave(), DialogCancelled);
        else EXPECT_NO_THROW(dialog.ShowSave());
        EXPECT_TRUE(asked) << c.confirm;
        EXPECT_EQ(dialog.FileName, dir.Path("out.asc"));
    }
}

TEST(FileDialog, SaveAddsTheChosenEntrysExtensionToANameWithoutOne)
{
    const struct {
        int entry;
        const char* typed;
        const char* saved;
    } cases[] = {{1, "out", "out.asc"}, {1, "out.txt", "out.txt"}, {0, "out", "out"}, {1, "OUT2", "OUT2.asc"}};
    for (const auto& c : cases) {
        TempDir dir;
        FileDialog dialog;
        dialog.CancelError = true;
        dialog.Filter = "All Files (*.*)|*.*|ASCII PNEZD Coordinates (*.asc)|*.asc|";
        dialog.FileName = dir.Path("start.asc");
        WhenModalShown([&](QWidget* modal) {
            // The user picks the entry in the list of types.
            auto* types = modal->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            ASSERT_NE(types, nullptr);
            for (int k = 0; k < c.entry; ++k) QTest::keyClick(types, Qt::Key_Down);
            TypeName(modal, QString::fromLatin1(c.typed));
        });
        EXPECT_NO_THROW(dialog.ShowSave());
        EXPECT_EQ(dialog.FileName, dir.Path(c.saved)) << c.entry << " " << c.typed;
    }
}
