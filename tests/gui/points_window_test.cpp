#include <gtest/gtest.h>

#include <QAction>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "app/points_window.h"
#include "formats/readers.h"
#include "gui_support.h"
#include "platform/qt/screen_units.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {
const QStringList kOpenEntries = {
    "All Files (*.*) (*)",
    "Autodesk LDD Point Database (*.mdb) (*.mdb)",
    "Marrowby COGO Points (*.coo) (*.coo)",
    "Orvelle Coordinate Files (*.crd) (*.crd)",
    "Orvelle Grid Files (*.grd) (*.grd)",
    "Surveyor One Coordinates (*.*) (*)",
    "TDS Coordinate Files (*.cr5) (*.cr5)",
};

struct WindowTest : ::testing::Test {
    TempDir dir;
    PointsWindow w;
    std::vector<FileDialogRequest> asked;

    void SetUp() override
    {
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    }

    // The dialog answers NAME (a file in the test folder) or cancels.
    void Answer(std::optional<std::string> name)
    {
        w.CommonDialog1.SetAnswerer([this, name](const FileDialogRequest& req) -> std::optional<QString> {
            asked.push_back(req);
            if (!name) return std::nullopt;
            return QString::fromStdString(dir.Path(*name));
        });
    }
    void Open(std::optional<std::string> name)
    {
        Answer(std::move(name));
        w.mnuOpen_Click();
        Pump(10);
    }
    void Save(std::optional<std::string> name)
    {
        Answer(std::move(name));
        w.mnuSave_Click();
    }
    std::string Status() const { return w.StatusText().toStdString(); }
    QString Shown(int row, int col) const
    {
        auto* m = w.DBGrid1->Model();
        return m->data(m->index(row, col), Qt::DisplayRole).toString();
    }
    int Px(int32_t twips, bool across = true) const
    {
        return TwipsToPixels(twips, across ? w.logicalDpiX() : w.logicalDpiY());
    }
};

std::string FivePoints()
{
    return CrdNumeric(5, {{5000.5, 1000.25, 100, "IP FOUND"},
                          {5010, 1010, 101, "CP"},
                          {5020, 1020, 102, "CP"},
                          {5030, 1030, 103, "CP"},
                          {5040, 1040, 104, "LOT 4, BLOCK 2"}});
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
}  // namespace

TEST_F(WindowTest, StartsWithCaptionMenuIconAndTheDesignedClientArea)
{
    EXPECT_EQ(w.windowTitle(), "Tessaly");
    const QList<QSize> sizes = w.windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));

    EXPECT_EQ(w.mnuFile->title(), "&File");
    QStringList items;
    for (QAction* a : w.mnuFile->actions()) items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(items, (QStringList{"&Open", "&Save", "-", "E&xit", "-", "Export Plan &Image..."}));
    EXPECT_EQ(w.mnuDash1->isSeparator(), true);

    EXPECT_EQ(w.ClientArea()->width(), Px(PointsWindow::kClientWidth));
    EXPECT_EQ(w.ClientArea()->height(), Px(PointsWindow::kClientHeight, false));
    EXPECT_EQ(w.StatusBar->height(), Px(PointsWindow::kStatusBarHeight, false));
    EXPECT_EQ(w.StatusText(), "");
}

TEST_F(WindowTest, IsCentredOnTheScreenInTwips)
{
    PointsWindow fresh;
    const QRect screen = fresh.screen()->geometry();
    const double dx = fresh.logicalDpiX(), dy = fresh.logicalDpiY();
    const int32_t left = CentredEdge(PixelsToTwips(screen.width(), dx), PixelsToTwips(fresh.frameGeometry().width(), dx));
    const int32_t top = CentredEdge(PixelsToTwips(screen.height(), dy), PixelsToTwips(fresh.frameGeometry().height(), dy));
    EXPECT_EQ(fresh.pos(), QPoint(screen.x() + TwipsToPixels(left, dx), screen.y() + TwipsToPixels(top, dy)));
    // Roughly in the middle, whatever the rounding.
    EXPECT_NEAR(fresh.frameGeometry().center().x(), screen.center().x(), 2);
}

TEST_F(WindowTest, FormLoadReplacesWhateverColumnsTheGridHeld)
{
    const struct {
        const char* caption;
        int cells;
    } expected[] = {{"POINT", 10}, {"NORTHING", 14}, {"EASTING", 14}, {"ELEVATION", 12}, {"DESCRIPTION", 32}};
    for (int extra : {0, 1, 7}) {
        for (int i = 0; i < extra; ++i) {
            w.DBGrid1->AddColumn(i % 3);
            w.DBGrid1->SetColumnCaption(i % 3, QStringLiteral("OLD"));
            w.DBGrid1->SetColumnVisible(i % 3, false);
        }
        w.PointData.AddPoint({"1", "2", "3", "4", "5"});
        w.Form_Load();
        ASSERT_EQ(w.DBGrid1->ColumnCount(), 5) << extra;
        for (int k = 0; k < 5; ++k) {
            EXPECT_EQ(w.DBGrid1->ColumnCaption(k), expected[k].caption);
            EXPECT_TRUE(w.DBGrid1->ColumnVisible(k));
            EXPECT_EQ(w.DBGrid1->columnWidth(k), Px(expected[k].cells * kCharCellWidth)) << expected[k].caption;
            EXPECT_EQ(w.DBGrid1->Model()->headerData(k, Qt::Horizontal, Qt::DisplayRole).toString(),
                      expected[k].caption);
        }
        EXPECT_EQ(w.PointData.CurrItems(), 0);
        EXPECT_EQ(w.PointData.RowCapacity(), 10000);
    }
    EXPECT_EQ(w.DBGrid1->Model()->rowCount(), 10001) << "10000 empty rows and the add-new row";
}

TEST_F(WindowTest, TheGridFillsTheClientAreaAboveTheStatusBar)
{
    const QSize sizes[] = {{900, 700}, {300, 200}, {702, 495}, {200, 60}, {150, 30}};
    for (QSize s : sizes) {
        w.resize(s);
        Pump(10);
        const QRect client = w.ClientArea()->rect();
        const QRect grid = w.DBGrid1->geometry();
        const QRect bar = w.StatusBar->geometry();
        EXPECT_EQ(grid.topLeft(), QPoint(0, 0)) << s.width() << "x" << s.height();
        EXPECT_EQ(grid.width(), client.width());
        EXPECT_EQ(bar.width(), client.width());
        EXPECT_EQ(bar.bottom(), client.bottom());
        if (client.height() >= bar.height()) EXPECT_EQ(grid.bottom() + 1, bar.top());
        else EXPECT_EQ(grid.height(), 0) << "no room: no height, not a negative one";
    }
}

TEST_F(WindowTest, MinimisedNothingMovesAndRestoringLaysOutAgain)
{
    w.resize(800, 600);
    Pump(10);
    const QRect before = w.DBGrid1->geometry();
    w.setWindowState(Qt::WindowMinimized);
    Pump(10);
    w.ClientArea()->resize(400, 300);  // what a minimised window may report
    Pump(10);
    EXPECT_EQ(w.DBGrid1->geometry(), before);
    w.setWindowState(Qt::WindowNoState);
    Pump(10);
    const QRect client = w.ClientArea()->rect();
    EXPECT_EQ(w.DBGrid1->geometry(), QRect(0, 0, client.width(), client.height() - w.StatusBar->height()));
}

TEST_F(WindowTest, OpenLoadsThroughTheDialogAndReportsIt)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].kind, FileDialogRequest::Open);
    EXPECT_EQ(asked[0].nameFilters, kOpenEntries);
    EXPECT_FALSE(asked[0].confirmOverwrite);
    EXPECT_EQ(w.CommonDialog1.Filter,
              "All Files (*.*)|*.*|Autodesk LDD Point Database (*.mdb)|*.mdb|Marrowby COGO Points (*.coo)|*.coo|"
              "Orvelle Coordinate Files (*.crd)|*.crd|Orvelle Grid Files (*.grd)|*.grd|"
              "Surveyor One Coordinates (*.*)|*.*|TDS Coordinate Files (*.cr5)|*.cr5|");
    EXPECT_TRUE(w.CommonDialog1.CancelError);

    EXPECT_EQ(w.PointData.CurrItems(), 5);
    EXPECT_EQ(Shown(0, 0), "1");
    EXPECT_EQ(Shown(0, 1), "5000.5");
    EXPECT_EQ(Shown(4, 4), "LOT 4, BLOCK 2");
    EXPECT_EQ(Status(), "5 points loaded from " + dir.Path("site1.crd") + " (read as an Orvelle coordinate file)");

    // The next dialog offers the same name.
    Open(std::nullopt);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].fileName.toStdString(), dir.Path("site1.crd"));
}

TEST_F(WindowTest, AFailedOpenRefreshesTheGridAndSaysWhy)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    // Two whole COGO blocks, then a block cut off after its first line.
    WriteBytes(dir.Path("cut.coo"), CooBlock("1", "A", "10", "20", "1") + CooBlock("2", "B", "11", "21", "2") +
                                        " 3       C\r\n");
    Open("cut.coo");
    EXPECT_EQ(w.PointData.CurrItems(), 2);
    EXPECT_EQ(Shown(0, 4), "A");
    EXPECT_EQ(Shown(1, 4), "B");
    EXPECT_EQ(Shown(2, 0), "") << "no old rows left in view";
    EXPECT_EQ(Shown(4, 4), "");
    EXPECT_TRUE(Contains(Status(), "Load stopped: " + dir.Path("cut.coo") + ": ")) << Status();
    EXPECT_TRUE(Contains(Status(), "line 9")) << Status();
    EXPECT_TRUE(Contains(Status(), "(read as a COGO points file; 2 points in the table)")) << Status();

    Open("missing.crd");
    EXPECT_TRUE(Contains(Status(), "file not found")) << Status();
    EXPECT_EQ(Shown(0, 4), "") << "the reader emptied the table and the grid shows it";
}

TEST_F(WindowTest, TheReaderIsChosenByTheLastThreeCharactersOfTheName)
{
    WriteBytes(dir.Path("xcrd"), FivePoints());
    WriteBytes(dir.Path("survey.Coo"), CooBlock("7", "IP", "10", "20", "1"));
    const struct {
        const char* name;
        const char* reader;
        const char* format;
    } cases[] = {
        {"survey.Coo", "ReadCooFile", "a COGO points file"},
        {"xcrd", "ReadCrdFile", "an Orvelle coordinate file"},
        {"site.grd", "ReadGrdFile", "an Orvelle grid file"},
        {"job.CR5", "ReadCr5File", "a TDS coordinate file"},
        {"points.mdb", "ReadMdbFile", "an LDD point database"},
        {"job.txt", "ReadSurveyorOneFile", "a Surveyor One coordinate file"},
        {"job.asc", "ReadSurveyorOneFile", "a Surveyor One coordinate file"},
        {"JOB1", "ReadSurveyorOneFile", "a Surveyor One coordinate file"},
        {"rd", "ReadSurveyorOneFile", "a Surveyor One coordinate file"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(ChooseReader(c.name).name, c.reader) << c.name;
        Open(c.name);
        EXPECT_TRUE(Contains(Status(), std::string("(read as ") + c.format)) << c.name << ": " << Status();
    }
    Open("xcrd");
    EXPECT_EQ(w.PointData.CurrItems(), 5);
    Open("survey.Coo");
    EXPECT_EQ(Shown(0, 0), "7");
}

TEST_F(WindowTest, CancelChangesNothingAndSaysNothing)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    const QString status = w.StatusText();
    Open(std::nullopt);
    EXPECT_EQ(w.PointData.CurrItems(), 5);
    EXPECT_EQ(Shown(0, 4), "IP FOUND");
    EXPECT_EQ(w.StatusText(), status);
    Save(std::nullopt);
    EXPECT_EQ(w.StatusText(), status);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Root()), {}), 1) << "nothing written";
}

TEST_F(WindowTest, SaveWritesOnlyAscNamesAndReportsTheOutcome)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    const std::string expected =
        "1,5000.5,1000.25,100,IP FOUND\r\n2,5010,1010,101,CP\r\n3,5020,1020,102,CP\r\n4,5030,1030,103,CP\r\n"
        "5,5040,1040,104,LOT 4, BLOCK 2\r\n";

    // Right after the Open the dialog offers the opened file: not an .asc.
    Save(std::string("site1.crd"));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].kind, FileDialogRequest::Save);
    EXPECT_EQ(asked[1].fileName.toStdString(), dir.Path("site1.crd"));
    EXPECT_EQ(asked[1].nameFilters,
              (QStringList{"All Files (*.*) (*)", "ASCII PNEZD Coordinates (*.asc) (*.asc)"}));
    EXPECT_TRUE(asked[1].confirmOverwrite);
    EXPECT_EQ(w.CommonDialog1.Flags, FileDialog::OverwritePrompt);
    EXPECT_EQ(ReadBytes(dir.Path("site1.crd")), FivePoints());
    EXPECT_EQ(Status(), "Nothing saved: " + dir.Path("site1.crd") + " does not end in .asc");

    const struct {
        const char* name;
        bool written;
    } cases[] = {{"out.asc", true}, {"OUT2.ASC", true}, {"out.txt", false}, {"out", false}, {"asc", true}};
    for (const auto& c : cases) {
        Save(std::string(c.name));
        EXPECT_EQ(std::filesystem::exists(dir.Path(c.name)), c.written) << c.name;
        if (c.written) {
            EXPECT_EQ(ReadBytes(dir.Path(c.name)), expected) << c.name;
            EXPECT_EQ(Status(), "5 points saved to " + dir.Path(c.name));
        } else {
            EXPECT_TRUE(Contains(Status(), "Nothing saved")) << c.name;
        }
    }

    // An existing file is replaced; a folder that is not there fails and says so.
    WriteBytes(dir.Path("old.asc"), "something else entirely\r\n");
    Save(std::string("old.asc"));
    EXPECT_EQ(ReadBytes(dir.Path("old.asc")), expected);
    Save(std::string("no/such/folder/x.asc"));
    EXPECT_TRUE(Contains(Status(), "Save failed: " + dir.Path("no/such/folder/x.asc"))) << Status();
}

TEST_F(WindowTest, SaveIncludesTheRowStillBeingEdited)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    w.DBGrid1->setFocus();
    w.DBGrid1->setCurrentIndex(w.DBGrid1->Model()->index(1, 4));
    QTest::keyClicks(w.DBGrid1, "S");  // opens the editor with "S" typed
    ASSERT_TRUE(w.DBGrid1->Editing());
    Save(std::string("out.asc"));
    EXPECT_TRUE(Contains(ReadBytes(dir.Path("out.asc")), "\r\n2,5010,1010,101,S\r\n"));
}

TEST_F(WindowTest, KeyUpRecordsTheCurrentCell)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    w.DBGrid1->setFocus();
    w.DBGrid1->setCurrentIndex(w.DBGrid1->Model()->index(3, 4));
    QTest::keyRelease(w.DBGrid1, Qt::Key_Shift);
    EXPECT_EQ(w.LastRow, 3);
    EXPECT_EQ(w.LastCol, 4);
    EXPECT_EQ(w.LastStr, "CP");
    QTest::keyClick(w.DBGrid1, Qt::Key_Left);
    EXPECT_EQ(w.LastCol, 3);
    EXPECT_EQ(w.LastStr, "103");
    // While the editor is open its text counts.
    QTest::keyClick(w.DBGrid1, Qt::Key_9);
    ASSERT_NE(w.focusWidget(), w.DBGrid1);
    QTest::keyClick(w.focusWidget(), Qt::Key_8);
    EXPECT_EQ(w.LastStr, "98");
    EXPECT_EQ(w.PointData.Get(ColElevation, 3), Cell{std::string("103")}) << "the table is not touched";
}

TEST_F(WindowTest, OpenAndSaveThroughTheRealDialog)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    w.CommonDialog1.FileName = dir.Path("start.crd");  // the dialog opens in the test folder

    // Open: pick the Surveyor One entry and type a .crd name: the name decides.
    WhenModalShown([](QWidget* modal) {
        auto* d = qobject_cast<QFileDialog*>(modal);
        d->selectNameFilter(d->nameFilters().at(5));
        TypeIntoFileDialog(d, QStringLiteral("site1.crd"));
    });
    w.mnuOpen->trigger();
    EXPECT_EQ(w.PointData.CurrItems(), 5);
    EXPECT_TRUE(Contains(Status(), "read as an Orvelle coordinate file")) << Status();

    // Save over an existing file: the dialog asks, the test says yes.
    WriteBytes(dir.Path("out.asc"), "old");
    WhenModalShown([](QWidget* modal) {
        WhenModalShown(
            [](QWidget* box) {
                if (auto* q = qobject_cast<QMessageBox*>(box)) q->button(QMessageBox::Yes)->click();
            },
            modal);
        TypeIntoFileDialog(modal, QStringLiteral("out.asc"));
    });
    w.mnuSave->trigger();
    EXPECT_TRUE(Contains(ReadBytes(dir.Path("out.asc")), "1,5000.5,1000.25,100,IP FOUND\r\n"));
    EXPECT_EQ(Status(), "5 points saved to " + dir.Path("out.asc"));
}

TEST_F(WindowTest, ExitEndsTheProgramAtOnceWithoutAQuestion)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    w.DBGrid1->setCurrentIndex(w.DBGrid1->Model()->index(0, 4));
    QTest::keyClicks(w.DBGrid1, "unsaved");
    bool asked = false;
    QTimer::singleShot(0, &w, [this] { w.mnuExit->trigger(); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        asked = QApplication::activeModalWidget() != nullptr;
        QCoreApplication::exit(1);
    });
    watchdog.start(3000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(asked);
}
