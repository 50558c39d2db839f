#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "app/points_window.h"
#include "app/export_dialog.h"
#include "app/recent_files.h"
#include "app/text_dialogs.h"
#include "gui_support.h"
#include "qt/elided_label.h"
#include "qt/screen_units.h"
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
    "ASCII Point Files (*.asc;*.csv;*.txt) (*.asc *.csv *.txt)",
    "LandXML Points (*.xml) (*.xml)",
    "DXF Drawing (*.dxf) (*.dxf)",
};

// What the window remembers between runs is forgotten before and after each
// test (the configuration folder is a temporary one, see gui_main).
struct FreshSettings {
    FreshSettings() { UserSettings()->clear(); }
    ~FreshSettings() { UserSettings()->clear(); }
};

struct WindowTest : ::testing::Test {
    FreshSettings settings;
    TempDir dir;
    PointsWindow w;
    std::vector<FileDialogRequest> asked;

    void SetUp() override
    {
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    }
    void TearDown() override { ForgetDialogChoices(); }

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

    // A user's clicks and keys, with real events.
    void Click(int row, int col)
    {
        const QRect cell = w.DBGrid1->visualRect(w.DBGrid1->Model()->index(row, col));
        QTest::mouseClick(w.DBGrid1->viewport(), Qt::LeftButton, {}, cell.center());
    }
    void Keys(const QString& text, int gapMs = 0)
    {
        for (QChar c : text) {
            QWidget* f = QApplication::focusWidget();
            QTest::keyClick(f ? f : w.DBGrid1, c.toLatin1());
            if (gapMs) QTest::qWait(gapMs);
        }
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWidget* f = QApplication::focusWidget();
        QTest::keyClick(f ? f : w.DBGrid1, key, mods);
        QCoreApplication::processEvents();
    }
    void ClickSelector(int row, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QHeaderView* h = w.DBGrid1->verticalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, mods,
                          QPoint(4, h->sectionViewportPosition(row) + h->sectionSize(row) / 2));
    }
    // A menu item chosen with the mouse, its menu popped up on its own.
    void Choose(QMenu* menu, QAction* item)
    {
        menu->popup(w.mapToGlobal(QPoint(10, 10)));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        Pump(10);
    }
    void ChooseDecimals(int places)
    {
        for (QAction* a : w.mnuDecimals->actions())
            if (a->data().toInt() == places) return Choose(w.mnuDecimals, a);
        FAIL() << "no entry for " << places;
    }
    QStringList Entries(QMenu* menu) const
    {
        QStringList items;
        for (QAction* a : menu->actions()) items << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return items;
    }
    // The next message box is answered with BUTTON; its text goes to TEXT.
    void AnswerBox(QMessageBox::StandardButton button, QString* text = nullptr)
    {
        WhenModalShown([button, text](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) return;
            if (text) *text = box->text();
            box->button(button)->click();
        });
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
    EXPECT_EQ(w.windowTitle(), "Tessaly[*]") << "the caption is Tessaly, with the marker of unsaved changes";
    EXPECT_FALSE(w.isWindowModified());
    const QList<QSize> sizes = w.windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));

    EXPECT_EQ(w.mnuFile->title(), "&File");
    EXPECT_EQ(Entries(w.mnuFile),
              (QStringList{"&Open", "Recent &Files", "&Save", "Export Plan &Image...", "-", "E&xit"}));
    EXPECT_FALSE(w.mnuRecent->isEnabled()) << "no file opened yet";
    EXPECT_EQ(w.mnuDash1->isSeparator(), true);
    EXPECT_EQ(w.menuBar()->actions().size(), 4);
    EXPECT_EQ(w.menuBar()->actions().back(), w.mnuHelp->menuAction()) << "Help comes last";
    EXPECT_EQ(w.mnuHelp->actions(), QList<QAction*>{w.mnuAbout});
    EXPECT_TRUE(PointsWindow::AboutText().startsWith("Tessaly " TESSALY_VERSION "\n"));
    EXPECT_TRUE(PointsWindow::AboutText().contains("ASCII PNEZD coordinate file (*.asc)"));

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
            const int designed = Px(expected[k].cells * kCharCellWidth);
            if (k < 4) {
                EXPECT_EQ(w.DBGrid1->columnWidth(k), designed) << expected[k].caption;
            } else {
                EXPECT_GE(w.DBGrid1->columnWidth(k), designed) << "DESCRIPTION: or the free width";
            }
            EXPECT_EQ(w.DBGrid1->Model()->headerData(k, Qt::Horizontal, Qt::DisplayRole).toString(),
                      expected[k].caption);
        }
        EXPECT_EQ(w.PointData.CurrItems(), 0);
        EXPECT_EQ(w.PointData.RowCapacity(), 10000);
    }
    EXPECT_EQ(w.DBGrid1->Model()->rowCount(), 10000) << "10000 empty rows; no add-new row in a full table";
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
        // DESCRIPTION takes the free width, or keeps its own.
        const int right = w.DBGrid1->columnViewportPosition(4) + w.DBGrid1->columnWidth(4);
        if (w.DBGrid1->columnWidth(4) > Px(32 * kCharCellWidth)) {
            EXPECT_EQ(right, w.DBGrid1->viewport()->width()) << s.width();
        } else {
            EXPECT_GE(right, w.DBGrid1->viewport()->width()) << s.width();
        }
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
    // The entries the window has always had come first; the other formats'
    // follow, the Access 2007 database among them.
    EXPECT_EQ(asked[0].nameFilters.mid(0, kOpenEntries.size()), kOpenEntries);
    EXPECT_TRUE(asked[0].nameFilters.contains("Access Point Database (*.accdb) (*.accdb)"));
    EXPECT_FALSE(asked[0].confirmOverwrite);
    EXPECT_TRUE(w.CommonDialog1.Filter.starts_with(
              "All Files (*.*)|*.*|Autodesk LDD Point Database (*.mdb)|*.mdb|Marrowby COGO Points (*.coo)|*.coo|"
              "Orvelle Coordinate Files (*.crd)|*.crd|Orvelle Grid Files (*.grd)|*.grd|"
              "Surveyor One Coordinates (*.*)|*.*|TDS Coordinate Files (*.cr5)|*.cr5|"
              "ASCII Point Files (*.asc;*.csv;*.txt)|*.asc;*.csv;*.txt|LandXML Points (*.xml)|*.xml|"
              "DXF Drawing (*.dxf)|*.dxf|"));
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
    QString box;
    // A reader that fails before it clears the table: the grid, the name and
    // the count stay those of site1.crd.
    std::filesystem::copy_file(TestData("no-points-table.mdb"), dir.Path("no-points-table.mdb"));
    AnswerBox(QMessageBox::Ok, &box);
    Open("no-points-table.mdb");
    EXPECT_TRUE(Contains(Status(), "5 points in the table; the load stopped: " + dir.Path("no-points-table.mdb")))
        << Status();
    EXPECT_TRUE(box.contains(w.StatusText())) << box.toStdString();
    EXPECT_EQ(w.StatusSummary(), "site1.crd | 5 points");
    EXPECT_EQ(Shown(4, 4), "LOT 4, BLOCK 2");
    Save(std::nullopt);
    EXPECT_EQ(asked.back().fileName.toStdString(), dir.Path("site1.crd")) << "Save offers where the points came from";

    // Two whole COGO blocks, then a block cut off after its first line.
    WriteBytes(dir.Path("cut.coo"), CooBlock("1", "A", "10", "20", "1") + CooBlock("2", "B", "11", "21", "2") +
                                        " 3       C\r\n");
    AnswerBox(QMessageBox::Ok, &box);
    Open("cut.coo");
    EXPECT_TRUE(box.contains(w.StatusText())) << box.toStdString();
    EXPECT_EQ(w.StatusSummary(), "cut.coo | 2 points | partly read");
    EXPECT_EQ(w.PointData.CurrItems(), 2);
    EXPECT_EQ(Shown(0, 4), "A");
    EXPECT_EQ(Shown(1, 4), "B");
    EXPECT_EQ(Shown(2, 0), "") << "no old rows left in view";
    EXPECT_EQ(Shown(4, 4), "");
    EXPECT_TRUE(Contains(Status(), "2 points in the table; the load stopped: " + dir.Path("cut.coo") + ": "))
        << Status();
    EXPECT_TRUE(Contains(Status(), "line 9")) << Status();
    EXPECT_TRUE(Contains(Status(), "(read as a COGO points file)")) << Status();

    AnswerBox(QMessageBox::Ok);
    Open("missing.crd");
    EXPECT_TRUE(Contains(Status(), "file not found")) << Status();
    EXPECT_EQ(Shown(0, 4), "") << "the reader emptied the table and the grid shows it";
}

// A load cut at the table's 10000 rows: saving over its file would lose the
// rest, so it is asked first, Cancel being the default.
TEST_F(WindowTest, SavingOverAPartlyReadOrRicherFileAsksFirst)
{
    std::string big = "Point,Northing,Easting,Elevation,Description\r\n";
    for (int i = 1; i <= 10001; ++i) big += std::to_string(i) + ",5000,1000,10,CP\r\n";
    WriteBytes(dir.Path("big.asc"), big);
    AnswerBox(QMessageBox::Ok);
    Open("big.asc");
    EXPECT_EQ(w.StatusSummary(), "big.asc | 10000 points | partly read");

    const auto save = [this](const char* name, const char* answer) {
        QString question;
        WhenModalShown([answer, &question](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) return;
            question = box->text();
            EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Cancel));
            for (QAbstractButton* b : box->buttons())
                if (b->text().remove(u'&') == QLatin1String(answer)) b->click();
        });
        Save(std::string(name));
        return question;
    };
    const std::string question =
        "Only 10000 points of " + dir.Path("big.asc") + " were read. Replacing it keeps only these 10000 points.";
    EXPECT_EQ(save("big.asc", "Cancel").toStdString(), question);
    EXPECT_EQ(ReadBytes(dir.Path("big.asc")), big) << "Cancel keeps the file";
    Save(std::string("other.asc"));  // another file: no question
    EXPECT_EQ(w.StatusSummary(), "other.asc | 10000 points");
    EXPECT_EQ(save("big.asc", "Replace").toStdString(), question) << "still the file read in part";
    EXPECT_TRUE(ReadBytes(dir.Path("big.asc")).starts_with("1,5000,1000,10,CP\r\n"));
    EXPECT_EQ(w.StatusSummary(), "big.asc | 10000 points");
    Save(std::string("big.asc"));  // it now holds just these points: no question
    EXPECT_EQ(Status(), "10000 points saved to " + dir.Path("big.asc"));

    // A LandXML file with a surface: saving over it would lose the surface.
    const std::string xml = "<LandXML><Units><Imperial linearUnit=\"USSurveyFoot\"/></Units><Surfaces><Surface/>"
                            "</Surfaces><CgPoints><CgPoint name=\"1\">3937 7874 39.37</CgPoint></CgPoints></LandXML>";
    WriteBytes(dir.Path("site.xml"), xml);
    Open("site.xml");
    EXPECT_EQ(w.StatusSummary(), "site.xml | 1 point in US survey feet");
    EXPECT_EQ(save("site.xml", "Cancel").toStdString(),
              dir.Path("site.xml") + " holds more than points (Surfaces); saving replaces it with the points only.");
    EXPECT_EQ(ReadBytes(dir.Path("site.xml")), xml);
}

// A 10001st row would be saved and then cut when the file is read again.
TEST_F(WindowTest, TheGridTakesNoRowBeyondTheTablesRows)
{
    auto* m = w.DBGrid1->Model();
    EXPECT_FALSE(m->AddNewShown());
    w.activateWindow();
    w.DBGrid1->setFocus();
    QApplication::clipboard()->setText("8\t1\n9\t2\n10\t3\n");
    w.DBGrid1->GoTo(9998, 0);
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Status(), "1 pasted row left out: the grid holds 10000 rows at most");
    EXPECT_EQ(w.PointData.RowCapacity(), 10000);
    EXPECT_EQ(Shown(9999, 0), "9");

    // A deleted row makes room for one new row, and no more; Escape on it
    // gives the add-new row back.
    ClickSelector(0);
    Key(Qt::Key_Delete);
    ASSERT_TRUE(m->AddNewShown());
    EXPECT_EQ(m->rowCount(), 10000);
    w.DBGrid1->GoTo(m->AddNewRow(), 0);
    Keys("1");
    Key(Qt::Key_Escape);  // the editor
    Key(Qt::Key_Escape);  // the new row
    EXPECT_TRUE(m->AddNewShown());
    EXPECT_EQ(m->rowCount(), 10000);
    w.DBGrid1->GoTo(m->AddNewRow(), 0);
    Keys("11");
    Key(Qt::Key_Return);
    EXPECT_FALSE(m->AddNewShown());
    EXPECT_EQ(m->rowCount(), 10000);
    Save(std::string("out.asc"));
    EXPECT_EQ(ReadBytes(dir.Path("out.asc")), "8,1,,,\r\n9,2,,,\r\n11,,,,\r\n");
}

TEST_F(WindowTest, TheStatusNamesTheFormatTheNameChose)
{
    // Which name chooses which reader is tested with the format table.
    WriteBytes(dir.Path("xcrd"), FivePoints());
    WriteBytes(dir.Path("survey.Coo"), CooBlock("7", "IP", "10", "20", "1"));
    Open("xcrd");
    EXPECT_EQ(w.PointData.CurrItems(), 5);
    EXPECT_TRUE(Contains(Status(), "(read as an Orvelle coordinate file)")) << Status();
    Open("survey.Coo");
    EXPECT_EQ(Shown(0, 0), "7");
    EXPECT_TRUE(Contains(Status(), "(read as a COGO points file)")) << Status();
    AnswerBox(QMessageBox::Ok);
    Open("job.asc");
    EXPECT_TRUE(Contains(Status(), "(read as a Surveyor One coordinate file")) << Status();
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
    QString box;
    AnswerBox(QMessageBox::Ok, &box);
    Save(std::string("site1.crd"));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].kind, FileDialogRequest::Save);
    EXPECT_EQ(asked[1].fileName.toStdString(), dir.Path("site1.crd"));
    EXPECT_EQ(asked[1].nameFilters.mid(0, 6),
              (QStringList{"All Files (*.*) (*)", "ASCII PNEZD Coordinates (*.asc) (*.asc)",
                           "Comma Delimited Points (*.csv) (*.csv)", "Text Points (*.txt) (*.txt)",
                           "LandXML Points (*.xml) (*.xml)", "DXF Drawing (*.dxf) (*.dxf)"}));
    EXPECT_TRUE(asked[1].confirmOverwrite);
    EXPECT_EQ(w.CommonDialog1.Flags, FileDialog::OverwritePrompt);
    EXPECT_EQ(ReadBytes(dir.Path("site1.crd")), FivePoints());
    EXPECT_TRUE(Contains(Status(), "Nothing saved: " + dir.Path("site1.crd") + " does not end in .asc, .csv, .txt, .xml"))
        << Status();
    EXPECT_EQ(box, w.StatusText()) << "a refused ending is said in a message box too";

    const struct {
        const char* name;
        bool written;
    } cases[] = {{"out.asc", true}, {"OUT2.ASC", true}, {"out.pdf", false}, {"out", false}, {"asc", true}};
    for (const auto& c : cases) {
        if (!c.written) AnswerBox(QMessageBox::Ok);
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
    AnswerBox(QMessageBox::Ok, &box);
    Save(std::string("no/such/folder/x.asc"));
    EXPECT_TRUE(Contains(Status(), "Save failed: " + dir.Path("no/such/folder/x.asc"))) << Status();
    EXPECT_TRUE(box.contains(w.StatusText())) << "a failed save is said in a message box too";
}

TEST_F(WindowTest, ATextFileWithoutAHeaderAsksForTheColumnOrder)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    // Easting before northing, no header line: the import dialog asks.
    WriteBytes(dir.Path("job.csv"), "7,1000.5,5000.25,12,CAF\xC3\x89 \xE2\x82\xAC \xCE\xA9\r\n");
    const auto import = [](const char* layout, bool ok, std::function<void()> open) {
        bool asked = false;
        WhenModalShown([layout, ok, &asked](QWidget* modal) {
            auto* d = qobject_cast<TextImportDialog*>(modal);
            if (!d) return;
            asked = true;
            auto* order = d->findChild<QComboBox*>(QStringLiteral("layout"));
            order->setCurrentIndex(order->findText(QString::fromLatin1(layout)));
            ok ? d->accept() : d->reject();
        });
        open();
        return asked;
    };
    EXPECT_TRUE(import("PENZD", false, [this] { Open("job.csv"); }));  // Cancel changes nothing
    EXPECT_EQ(w.PointData.CurrItems(), 5);
    EXPECT_EQ(Shown(0, 4), "IP FOUND");
    // File, Open, the file argument and a drop alike.
    const std::function<void()> opens[] = {
        [this] { Open("job.csv"); },
        [this] { w.OpenFirstFile({dir.Path("job.csv")}); },
        [this] {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.Path("job.csv")))});
            const QPointF at = w.DBGrid1->geometry().center();
            QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&w, &enter);
            QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&w, &dropped);
            WaitFor([this] { return w.PointData.CurrItems() == 1; });
        },
    };
    for (size_t i = 0; i < std::size(opens); ++i) {
        w.PointData.Clear();
        EXPECT_TRUE(import("PENZD", true, opens[i])) << i;
        EXPECT_EQ(w.PointData.CurrItems(), 1);
        EXPECT_EQ(Shown(0, 1), "5000.25");
        EXPECT_EQ(Shown(0, 2), "1000.5");
    }
    EXPECT_EQ(Status(), "1 point loaded from " + dir.Path("job.csv") + " (read as a delimited text point file)");
    EXPECT_EQ(CellText(w.PointData.Get(ColDescription, 0)), "CAF\xC3\x89 \xE2\x82\xAC \xCE\xA9");

    // A header line names the columns: no question.
    WriteBytes(dir.Path("named.txt"), "Name\tX\tY\n8\t1\t2\n");
    Open("named.txt");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(Shown(0, 0), "8");
    EXPECT_EQ(Shown(0, 1), "2");
}

TEST_F(WindowTest, SavingAsTextLandXmlOrDxfAsksForTheOptions)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    // The option dialog's widgets are set by SET; OK or Cancel.
    const auto save = [this](const std::string& name, std::function<void(QDialog*)> set, bool ok = true) {
        WhenModalShown([set, ok](QWidget* modal) {
            auto* d = qobject_cast<ExportOptionsDialog*>(modal);
            if (!d) return;
            set(d);
            ok ? d->accept() : d->reject();
        });
        Save(name);
    };
    const auto pick = [](QDialog* d, const char* combo, const char* text) {
        auto* c = d->findChild<QComboBox*>(QString::fromLatin1(combo));
        c->setCurrentIndex(c->findText(QString::fromLatin1(text)));
    };
    save("out.csv", [&](QDialog* d) {
        pick(d, "delimiter", "Semicolon");
        d->findChild<QCheckBox*>(QStringLiteral("header"))->setChecked(true);
    });
    EXPECT_TRUE(ReadBytes(dir.Path("out.csv")).starts_with("Point;Northing;Easting;Elevation;Description\r\n1;5000.5;"));
    EXPECT_EQ(Status(), "5 points saved to " + dir.Path("out.csv"));
    // The last choice is offered again.
    save("again.csv", [](QDialog* d) {
        EXPECT_EQ(d->findChild<QComboBox*>(QStringLiteral("delimiter"))->currentText(), "Semicolon");
        EXPECT_EQ(d->findChild<QComboBox*>(QStringLiteral("units")), nullptr);
    }, false);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("again.csv"))) << "Cancel writes nothing";

    w.PointData.Set(ColNorthing, 1, std::string("N/A"));
    save("out.xml", [&](QDialog* d) {
        EXPECT_EQ(d->findChild<QComboBox*>(QStringLiteral("delimiter")), nullptr) << "no text options";
        pick(d, "units", "US survey feet");
    });
    EXPECT_TRUE(Contains(ReadBytes(dir.Path("out.xml")), "linearUnit=\"USSurveyFoot\""));
    EXPECT_EQ(Status(), "4 points saved to " + dir.Path("out.xml") +
                            "; 1 row left out: the northing or easting is not a number; 1 row with a northing, "
                            "easting or elevation that is not a number");
    save("out.dxf", [](QDialog* d) { d->findChild<QDoubleSpinBox*>(QStringLiteral("text-height"))->setValue(2.5); });
    EXPECT_TRUE(Contains(ReadBytes(dir.Path("out.dxf")), " 40\r\n2.5\r\n"));
    save("more.dxf", [](QDialog* d) {
        EXPECT_EQ(d->findChild<QDoubleSpinBox*>(QStringLiteral("text-height"))->value(), 2.5);
    }, false);
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

TEST_F(WindowTest, ExitWithoutChangesEndsTheProgramAtOnceWithoutAQuestion)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    w.DBGrid1->setCurrentIndex(w.DBGrid1->Model()->index(0, 4));
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

TEST_F(WindowTest, ASlowDatabaseLoadShowsProgressAndCancelEndsIt)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    std::filesystem::copy_file(TestData("points-basic.mdb"), dir.Path("slow.mdb"));
    // The reader is held for seconds before it opens the database, well past
    // the half second after which the progress shows.
    ::setenv("TESSALY_MDB_READER_STALL_MS", "8000", 1);
    QString shown;
    WhenModalShown([&](QWidget* modal) {
        auto* progress = qobject_cast<QProgressDialog*>(modal);
        if (!progress) return;
        shown = progress->labelText();
        AnswerBox(QMessageBox::Ok);  // the failed load's
        if (auto* cancel = progress->findChild<QPushButton*>()) QTest::mouseClick(cancel, Qt::LeftButton);
    });
    const auto start = std::chrono::steady_clock::now();
    Open("slow.mdb");
    ::unsetenv("TESSALY_MDB_READER_STALL_MS");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));  // Cancel did not wait for it
    EXPECT_EQ(shown, "Reading the database...");
    EXPECT_EQ(Status(), "5 points in the table; the load stopped: " + dir.Path("slow.mdb") +
                            ": the load was cancelled (read as an LDD point database)");
    // Naming the database failed: the table keeps what it had.
    EXPECT_EQ(w.PointData.CurrItems(), 5);
    EXPECT_EQ(Shown(0, 4), "IP FOUND");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// The faults of the grid as an editor, with real clicks and keys.

TEST_F(WindowTest, KeysTypedRightAfterASecondClickGoToThatCell)
{
    // Point 5's description starts with the first letter typed: a keyboard
    // search would jump there.
    std::string coo;
    const char* descriptions[] = {"CP1", "CP2", "BM1", "LOT 4", "FENCE POST", "EP"};
    for (int i = 0; i < 6; ++i)
        coo += CooBlock(std::to_string(i + 1), descriptions[i], std::to_string(1000 + i), std::to_string(5000 + i),
                        "100");
    WriteBytes(dir.Path("site1.coo"), coo);
    const struct {
        int col;
        const char* typed;
        const char* line2;
    } cases[] = {{4, "FENCE COR", "2,5001,1001,100,FENCE COR"}, {1, "6000.25", "2,6000.25,1001,100,CP2"}};
    for (const auto& c : cases) {
        Open("site1.coo");
        w.activateWindow();
        w.DBGrid1->setFocus();
        Click(1, c.col);
        QTest::qWait(1000);
        Click(1, c.col);
        Keys(QString::fromLatin1(c.typed), 40);  // within 0.4 s
        Key(Qt::Key_Return);
        Key(Qt::Key_Down);
        Save(std::string("out.asc"));
        std::string expected;
        for (int i = 0; i < 6; ++i)
            expected += i == 1 ? std::string(c.line2) + "\r\n"
                               : std::to_string(i + 1) + "," + std::to_string(5000 + i) + "," +
                                     std::to_string(1000 + i) + ",100," + descriptions[i] + "\r\n";
        EXPECT_EQ(ReadBytes(dir.Path("out.asc")), expected) << c.typed;
    }
}

TEST_F(WindowTest, DeletedPointsAreNotSaved)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    w.activateWindow();
    ClickSelector(1);
    ClickSelector(2, Qt::ShiftModifier);
    Key(Qt::Key_Delete);
    Save(std::string("out.asc"));
    EXPECT_EQ(ReadBytes(dir.Path("out.asc")),
              "1,5000.5,1000.25,100,IP FOUND\r\n4,5030,1030,103,CP\r\n5,5040,1040,104,LOT 4, BLOCK 2\r\n");
    EXPECT_EQ(Status(), "3 points saved to " + dir.Path("out.asc"));

    w.DBGrid1->setFocus();
    Key(Qt::Key_A, Qt::ControlModifier);
    Key(Qt::Key_Delete);
    Save(std::string("out.asc"));
    EXPECT_EQ(ReadBytes(dir.Path("out.asc")), "");
    EXPECT_EQ(Status(), "0 points saved to " + dir.Path("out.asc"));
}

TEST_F(WindowTest, TypedPointsAreSavedAfterTheLoadedOnes)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    w.activateWindow();
    w.DBGrid1->setFocus();
    // Row 6 (row 5 stays empty), then the add-new row at the very end.
    w.DBGrid1->setCurrentIndex(w.DBGrid1->Model()->index(6, 0));
    Keys("7");
    Key(Qt::Key_Right);
    Keys("100");
    Key(Qt::Key_Return);
    Key(Qt::Key_End, Qt::ControlModifier);  // the last point
    Key(Qt::Key_End, Qt::ControlModifier);  // the last row
    Key(Qt::Key_Home);
    Keys("8");
    Key(Qt::Key_Return);
    Save(std::string("out.asc"));
    EXPECT_TRUE(Contains(ReadBytes(dir.Path("out.asc")), "5,5040,1040,104,LOT 4, BLOCK 2\r\n7,100,,,\r\n8,,,,\r\n"))
        << ReadBytes(dir.Path("out.asc"));
    EXPECT_EQ(Status(), "7 points saved to " + dir.Path("out.asc"));
}

TEST_F(WindowTest, AReadOnlyFileIsNotReplaced)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    WriteBytes(dir.Path("out.asc"), "old");
    std::filesystem::permissions(dir.Path("out.asc"), std::filesystem::perms::owner_read |
                                                          std::filesystem::perms::group_read |
                                                          std::filesystem::perms::others_read);
    QString box;
    AnswerBox(QMessageBox::Ok, &box);
    Save(std::string("out.asc"));
    EXPECT_EQ(ReadBytes(dir.Path("out.asc")), "old");
    EXPECT_EQ(Status(), "cannot save: " + dir.Path("out.asc") + " is read-only");
    EXPECT_TRUE(box.contains(w.StatusText())) << box.toStdString();
}

TEST_F(WindowTest, UnsavedEditsAreAskedAboutBeforeOpenExitOrClose)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    WriteBytes(dir.Path("other.crd"), CrdNumeric(1, {{1, 2, 3, "OTHER"}}));
    Open("site1.crd");
    w.activateWindow();
    w.DBGrid1->setFocus();
    w.DBGrid1->setCurrentIndex(w.DBGrid1->Model()->index(0, 4));
    Keys("X");
    Key(Qt::Key_Return);
    EXPECT_TRUE(w.isWindowModified());

    // Open: Cancel keeps everything; Discard goes on.
    QString question;
    AnswerBox(QMessageBox::Cancel, &question);
    Open("other.crd");
    EXPECT_EQ(question, "Save the changes to the points?");
    EXPECT_EQ(Shown(0, 4), "X");
    EXPECT_TRUE(w.isWindowModified());
    AnswerBox(QMessageBox::Discard);
    Open("other.crd");
    EXPECT_EQ(Shown(0, 4), "OTHER");
    EXPECT_FALSE(w.isWindowModified());

    // Close: Save runs the Save command; a cancelled save cancels the close.
    w.DBGrid1->setCurrentIndex(w.DBGrid1->Model()->index(0, 4));
    Keys("Y");
    Key(Qt::Key_Return);
    AnswerBox(QMessageBox::Save);
    Answer(std::nullopt);
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    AnswerBox(QMessageBox::Save);
    Answer(std::string("kept.asc"));
    EXPECT_TRUE(w.close());
    EXPECT_EQ(ReadBytes(dir.Path("kept.asc")), "1,1,2,3,Y\r\n");
}

TEST_F(WindowTest, UndoAndRedoTakeBackEditsPastesDeletionsAndAdditions)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    const std::string loaded = (Save(std::string("loaded.asc")), ReadBytes(dir.Path("loaded.asc")));
    w.activateWindow();
    w.DBGrid1->setFocus();
    const struct {
        const char* name;
        std::function<void()> act;
        const char* changed;  // a line of the saved file after the change
    } cases[] = {
        {"an edit", [&] { w.DBGrid1->GoTo(0, 4); Keys("Q"); Key(Qt::Key_Return); }, "1,5000.5,1000.25,100,Q\r\n"},
        {"a paste of two rows",
         [&] { QApplication::clipboard()->setText("8\t1\n9\t2\n"); w.DBGrid1->GoTo(3, 0); Key(Qt::Key_V, Qt::ControlModifier); },
         "9,2,1040,104,LOT 4, BLOCK 2\r\n"},
        {"a deletion of two rows",
         [&] { ClickSelector(0); ClickSelector(1, Qt::ShiftModifier); Key(Qt::Key_Delete); }, "3,5020,1020,102,CP\r\n"},
        {"a deletion of every row", [&] { Key(Qt::Key_A, Qt::ControlModifier); Key(Qt::Key_Delete); }, ""},
        {"a row typed after the points", [&] { w.DBGrid1->GoTo(7, 0); Keys("77"); Key(Qt::Key_Return); }, "77,,,,\r\n"},
        {"a new row at the end",
         [&] {
             ASSERT_TRUE(w.DBGrid1->Model()->AddNewShown()) << "a deleted row made room for it";
             w.DBGrid1->GoTo(w.DBGrid1->Model()->AddNewRow(), 0);
             Keys("88");
             Key(Qt::Key_Return);
         },
         "88,,,,\r\n"},
    };
    for (const auto& c : cases) {
        if (std::string_view(c.name) == "a new row at the end") {
            ClickSelector(9);  // an empty row
            Key(Qt::Key_Delete);
        }
        c.act();
        Save(std::string("changed.asc"));
        const std::string changed = ReadBytes(dir.Path("changed.asc"));
        EXPECT_TRUE(Contains(changed, c.changed)) << c.name << ":\n" << changed;
        Key(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_TRUE(w.isWindowModified()) << c.name << ": the saved state was the changed one";
        Save(std::string("undone.asc"));
        EXPECT_EQ(ReadBytes(dir.Path("undone.asc")), loaded) << c.name << ": one undo takes it back";
        Key(Qt::Key_Y, Qt::ControlModifier);
        Save(std::string("redone.asc"));
        EXPECT_EQ(ReadBytes(dir.Path("redone.asc")), changed) << c.name;
        Key(Qt::Key_Z, Qt::ControlModifier);
    }
    EXPECT_EQ(w.PointData.CurrItems(), 5);
    EXPECT_EQ(w.PointData.RowCapacity(), 9999) << "all but the deletion of the empty row taken back";
    AnswerBox(QMessageBox::Discard);
    Open("site1.crd");
    EXPECT_FALSE(w.EditHistory.canUndo()) << "a load starts a new history";
}

TEST_F(WindowTest, TheStatusBarKeepsFileCountAndModified)
{
    EXPECT_EQ(w.StatusSummary(), "0 points");
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    EXPECT_EQ(w.StatusSummary(), "site1.crd | 5 points");
    w.activateWindow();
    w.DBGrid1->setFocus();
    w.DBGrid1->GoTo(6, 0);
    Keys("6");
    Key(Qt::Key_Return);
    EXPECT_EQ(w.StatusSummary(), "site1.crd | 6 points | modified");
    EXPECT_TRUE(w.isWindowModified());
    Save(std::string("out.asc"));
    EXPECT_EQ(w.StatusSummary(), "out.asc | 6 points");
    EXPECT_FALSE(w.isWindowModified());
}

TEST_F(WindowTest, SaveCountsRowsWhoseCoordinatesAreNotNumbers)
{
    WriteBytes(dir.Path("site1.coo"), CooBlock("1", "A", "12ft", "5000", "100") + CooBlock("2", "B", "1000", "5001", "abc") +
                                          CooBlock("3", "C", "1002", "5002", "100"));
    Open("site1.coo");
    // The COGO reader turns numbers into number text; text typed is kept.
    w.activateWindow();
    w.DBGrid1->setFocus();
    w.DBGrid1->GoTo(0, 2);
    Keys("12ft");
    Key(Qt::Key_Return);
    w.DBGrid1->GoTo(1, 3);
    Keys("abc");
    Key(Qt::Key_Return);
    auto* m = w.DBGrid1->Model();
    EXPECT_TRUE(m->data(m->index(0, 2), Qt::BackgroundRole).isValid());
    EXPECT_FALSE(m->data(m->index(0, 1), Qt::BackgroundRole).isValid());
    EXPECT_FALSE(m->data(m->index(0, 4), Qt::BackgroundRole).isValid()) << "descriptions are text";
    Save(std::string("out.asc"));
    EXPECT_EQ(Status(), "3 points saved to " + dir.Path("out.asc") +
                            "; 2 rows with a northing, easting or elevation that is not a number");
}

TEST_F(WindowTest, FindPointGoesToTheRowOfAPointNumber)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    EXPECT_EQ(w.mnuFind->shortcut(), QKeySequence(QStringLiteral("Ctrl+F")));
    EXPECT_TRUE(w.FindPoint(" 4 "));
    EXPECT_EQ(w.DBGrid1->Row(), 3);
    EXPECT_EQ(w.DBGrid1->Col(), 0);
    EXPECT_FALSE(w.FindPoint("44"));
    EXPECT_EQ(w.DBGrid1->Row(), 3);
}

TEST_F(WindowTest, MenusHaveShortcutsAndTheEditMenuComesAfterFile)
{
    const struct {
        QAction* action;
        const char* keys;
    } cases[] = {{w.mnuOpen, "Ctrl+O"}, {w.mnuSave, "Ctrl+S"}, {w.mnuExit, "Ctrl+Q"}, {w.mnuUndo, "Ctrl+Z"},
                 {w.mnuRedo, "Ctrl+Y"}, {w.mnuCopy, "Ctrl+C"}, {w.mnuPaste, "Ctrl+V"}};
    for (const auto& c : cases) EXPECT_EQ(c.action->shortcut(), QKeySequence(QString::fromLatin1(c.keys))) << c.keys;
    const QList<QAction*> menus = w.menuBar()->actions();
    ASSERT_EQ(menus.size(), 4);
    EXPECT_EQ(menus[0]->text(), "&File");
    EXPECT_EQ(menus[1]->text(), "&Edit");
    EXPECT_EQ(menus[2]->text(), "&View");
    EXPECT_EQ(menus[3]->text(), "&Help");
}

TEST_F(WindowTest, TheWindowFitsTheFreeAreaOfTheScreen)
{
    w.FitInto(QRect(100, 50, 400, 300));
    EXPECT_LE(w.frameGeometry().width(), 400);
    EXPECT_LE(w.frameGeometry().height(), 300);
    EXPECT_TRUE(QRect(100, 50, 400, 300).contains(w.frameGeometry())) << "on the free area, not off it";
    w.FitInto(QRect(0, 0, 100, 80));
    EXPECT_EQ(w.size(), w.minimumSize()) << "never below the minimum size";
    EXPECT_GE(w.minimumWidth(), w.menuBar()->sizeHint().width());
}

TEST_F(WindowTest, AnAlphaCoordinateFileSaysItsPointsAreNotRead)
{
    std::string alpha(104 + 66 * 3, '\x01');
    alpha.replace(72, 32, std::string("New CRD Format") + std::string(18, '\0'));
    WriteBytes(dir.Path("alpha.crd"), alpha);
    AnswerBox(QMessageBox::Ok);
    Open("alpha.crd");
    EXPECT_EQ(w.PointData.CurrItems(), 0);
    EXPECT_EQ(Status(), "No points loaded: " + dir.Path("alpha.crd") +
                            ": the points are in the Alpha layout, which is not read (3 records)");
}


// What the command line hands the window at start, and what a drop hands it.
TEST_F(WindowTest, AFileNamedAtStartOpensLikeFileOpenAndOnlyTheFirstOfSeveral)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    WriteBytes(dir.Path("other.coo"), CooBlock("7", "IP", "10", "20", "1"));
    const std::string loaded = "5 points loaded from " + dir.Path("site1.crd") + " (read as an Orvelle coordinate file)";
    const struct {
        std::vector<std::string> names;
        std::string status;
    } cases[] = {
        {{dir.Path("site1.crd")}, loaded},
        {{dir.Path("site1.crd"), dir.Path("other.coo"), dir.Path("x.grd")},
         loaded + "; not opened (one file at a time): other.coo, x.grd"},
        {{dir.Path("other.coo"), dir.Path("site1.crd")},
         "1 point loaded from " + dir.Path("other.coo") +
             " (read as a COGO points file); not opened (one file at a time): site1.crd"},
    };
    for (const auto& c : cases) {
        w.OpenFirstFile(c.names);
        EXPECT_EQ(Status(), c.status);
    }
    EXPECT_EQ(Shown(0, 0), "7");
    // The Open dialog then offers the file opened.
    Open(std::nullopt);
    EXPECT_EQ(asked.at(0).fileName.toStdString(), dir.Path("other.coo"));
}

TEST_F(WindowTest, ADroppedFileOpensLikeFileOpenAndOnlyTheFirstOfSeveral)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    auto drop = [this](const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPointF at = w.DBGrid1->geometry().center();
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &dropped);
        Pump(10);
        return dropped.isAccepted();
    };
    const QUrl site1 = QUrl::fromLocalFile(QString::fromStdString(dir.Path("site1.crd")));
    EXPECT_FALSE(drop({QUrl("https://example.com/site1.crd")})) << "only local files are taken";
    EXPECT_EQ(Status(), "");
    EXPECT_TRUE(drop({site1, QUrl("https://example.com/a.crd"), QUrl::fromLocalFile("/tmp/b.coo")}));
    EXPECT_EQ(w.PointData.CurrItems(), 5);
    EXPECT_EQ(Shown(4, 4), "LOT 4, BLOCK 2");
    EXPECT_EQ(Status(), "5 points loaded from " + dir.Path("site1.crd") +
                            " (read as an Orvelle coordinate file); not opened (one file at a time): b.coo");
}

TEST_F(WindowTest, DecimalsRoundWhatTheGridShowsAndAreRemembered)
{
    WriteBytes(dir.Path("site.coo"), CooBlock("1", "IP", "1211.545", "5000.000", "-0.004") +
                                         CooBlock("2", "CP", "1211.54", "5000.5", "12.25"));
    Open("site.coo");
    const struct {
        int places;
        QStringList row0, row1;  // northing, easting, elevation
    } cases[] = {
        {2, {"5000.00", "1211.55", "0.00"}, {"5000.50", "1211.54", "12.25"}},
        {0, {"5000", "1212", "0"}, {"5001", "1212", "12"}},
        {4, {"5000.0000", "1211.5450", "-0.0040"}, {"5000.5000", "1211.5400", "12.2500"}},
        {-1, {"5000", "1211.545", "-0.004"}, {"5000.5", "1211.54", "12.25"}},
        {3, {"5000.000", "1211.545", "-0.004"}, {"5000.500", "1211.540", "12.250"}},
    };
    for (const auto& c : cases) {
        ChooseDecimals(c.places);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(Shown(0, k + 1), c.row0[k]) << c.places;
            EXPECT_EQ(Shown(1, k + 1), c.row1[k]) << c.places;
            EXPECT_GE(w.DBGrid1->columnWidth(k + 1), w.DBGrid1->fontMetrics().horizontalAdvance(c.row0[k]) + 10);
        }
        EXPECT_EQ(Shown(0, 0), "1") << "point numbers stay";
        EXPECT_EQ(w.Decimals(), c.places);
    }
    // The table, the editor and a saved file keep the text read.
    auto* m = w.DBGrid1->Model();
    EXPECT_EQ(m->data(m->index(0, 2), Qt::EditRole).toString(), "1211.545");
    Save(std::string("out.asc"));
    EXPECT_EQ(ReadBytes(dir.Path("out.asc")), "1,5000,1211.545,-0.004,IP\r\n2,5000.5,1211.54,12.25,CP\r\n");

    // The next run shows the last choice.
    PointsWindow next;
    EXPECT_EQ(next.Decimals(), 3);
    for (QAction* a : next.mnuDecimals->actions()) EXPECT_EQ(a->isChecked(), a->data().toInt() == 3);
}

TEST_F(WindowTest, CtrlEndGoesToTheLastPointThenToTheLastRow)
{
    w.activateWindow();
    w.DBGrid1->setFocus();
    auto ctrlEnd = [&] {
        Key(Qt::Key_End, Qt::ControlModifier);
        return w.DBGrid1->Row();
    };
    const int lastRow = w.DBGrid1->Model()->rowCount() - 1;
    EXPECT_EQ(ctrlEnd(), lastRow) << "no points: the last row at once";

    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    w.DBGrid1->setFocus();
    EXPECT_EQ(ctrlEnd(), 4);
    EXPECT_EQ(w.DBGrid1->Col(), 4);
    EXPECT_EQ(w.DBGrid1->selectionModel()->selectedIndexes(), QModelIndexList{w.DBGrid1->currentIndex()});
    EXPECT_EQ(ctrlEnd(), lastRow);
    EXPECT_EQ(ctrlEnd(), 4) << "from anywhere else, the last point again";

    // A point typed below the loaded ones is the last point then.
    Click(8, 0);
    Keys("9");
    Key(Qt::Key_Return);
    EXPECT_EQ(ctrlEnd(), 8);
}

TEST_F(WindowTest, UndoAndRedoAreEnabledOnlyWithSomethingToDo)
{
    WriteBytes(dir.Path("site1.crd"), FivePoints());
    Open("site1.crd");
    w.activateWindow();
    Click(0, 4);
    auto state = [&] { return std::pair(w.mnuUndo->isEnabled(), w.mnuRedo->isEnabled()); };
    EXPECT_EQ(state(), std::pair(false, false)) << "after a load";
    Keys("Q");
    Key(Qt::Key_Right);
    EXPECT_EQ(state(), std::pair(true, false)) << "a row still being edited can be taken back";
    Key(Qt::Key_Down);
    EXPECT_EQ(state(), std::pair(true, false));
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(state(), std::pair(false, true));
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(state(), std::pair(true, false));
    EXPECT_EQ(Shown(0, 4), "Q");
}

TEST_F(WindowTest, RecentFilesKeepTheLastEightOpenedNewestFirst)
{
    std::vector<QString> names;
    for (int i = 1; i <= 9; ++i) {
        const std::string name = "site" + std::to_string(i) + ".coo";
        names.push_back(QString::fromStdString(dir.Path(name)));
        WriteBytes(dir.Path(name), CooBlock(std::to_string(i), "IP", "10", "20", "1"));
        Open(name);
    }
    Open("site3.coo");  // moves up, once
    auto recent = [](const PointsWindow& win) {
        QStringList files;
        for (QAction* a : win.mnuRecent->actions()) files << a->toolTip();
        return files;
    };
    QStringList expected;
    for (int i : {3, 9, 8, 7, 6, 5, 4, 2}) expected << names[static_cast<size_t>(i - 1)];
    EXPECT_EQ(recent(w), expected);
    EXPECT_TRUE(w.mnuRecent->isEnabled());
    EXPECT_TRUE(w.mnuRecent->actions().at(0)->text().startsWith("&1 "));
    EXPECT_EQ(recent(PointsWindow()), expected) << "remembered between runs";

    const struct {
        const char* name;
        int file;  // site<file>.coo
        std::function<void()> before;
        QMessageBox::StandardButton answer;  // to the question or message, if any
        const char* shown;                   // the point number in the first row after
        bool listed;                         // still on the list
    } cases[] = {
        {"an existing file", 5, [] {}, QMessageBox::NoButton, "5", true},
        {"unsaved changes kept", 5, [&] { Click(0, 4); Keys("Z"); Key(Qt::Key_Return); }, QMessageBox::Cancel, "2",
         true},
        {"a file gone", 7, [&] { QFile::remove(names[6]); }, QMessageBox::Ok, "2", false},
    };
    for (const auto& c : cases) {
        Open("site2.coo");
        w.activateWindow();
        c.before();
        QString said;
        if (c.answer != QMessageBox::NoButton) AnswerBox(c.answer, &said);
        const QString file = names[static_cast<size_t>(c.file - 1)];
        const auto entry = recent(w).indexOf(file);
        ASSERT_GE(entry, 0) << c.name;
        Choose(w.mnuRecent, w.mnuRecent->actions().at(entry));
        EXPECT_EQ(Shown(0, 0), c.shown) << c.name;
        EXPECT_EQ(recent(w).contains(file), c.listed) << c.name;
        if (!c.listed) {
            EXPECT_TRUE(said.contains(file)) << said.toStdString();
        }
        if (c.answer == QMessageBox::Cancel) {
            EXPECT_EQ(Shown(0, 4), "Z");
            w.EditHistory.setClean();
        }
    }
}

TEST_F(WindowTest, ALongStatusIsCutVisiblyAndWhollyInItsTooltip)
{
    auto* panel = w.StatusBar->findChild<ElidedLabel*>();
    ASSERT_NE(panel, nullptr);
    const std::string name = "north-boundary-survey.coo";
    WriteBytes(dir.Path(name), CooBlock("1", "IP", "10", "20", "1") + "2\r\n");
    AnswerBox(QMessageBox::Ok);
    Open(name);
    ASSERT_TRUE(w.StatusText().contains(QString::fromStdString(name)));
    Pump(10);
    const QString shown = panel->ShownText();
    EXPECT_TRUE(shown.size() > 20 && shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(panel->toolTip().contains(w.StatusText().toHtmlEscaped()));
}

// A field instrument download opens through the dialog's own entry, and the
// points go back for upload as GSI-16 or SDR33 with the options asked.
TEST_F(WindowTest, InstrumentFilesOpenAndSaveForUpload)
{
    std::filesystem::copy_file(TestData("reference/field.gsi"), dir.Path("field.gsi"));
    Open("field.gsi");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].nameFilters.contains("Leica GSI Files (*.gsi) (*.gsi)"));
    EXPECT_TRUE(asked[0].nameFilters.contains("Trimble JobXML Files (*.jxl) (*.jxl)"));
    EXPECT_TRUE(Contains(Status(), "3 points loaded from " + dir.Path("field.gsi") + " (read as a Leica GSI file)"))
        << Status();
    EXPECT_TRUE(Contains(Status(), "1 observation without coordinates not read")) << Status();
    EXPECT_EQ(w.PointData.Unit(), LinearUnit::Metre);

    const auto save = [this](const std::string& name, const char* combo, const char* text) {
        WhenModalShown([combo, text](QWidget* modal) {
            auto* d = qobject_cast<ExportOptionsDialog*>(modal);
            if (!d) return;
            auto* c = d->findChild<QComboBox*>(QString::fromLatin1(combo));
            ASSERT_NE(c, nullptr) << combo;
            c->setCurrentIndex(c->findText(QString::fromLatin1(text)));
            d->accept();
        });
        Save(name);
    };
    save("up.gsi", "resolution", "0.0001");
    EXPECT_TRUE(asked.back().nameFilters.contains("Leica GSI-16 Coordinates (*.gsi) (*.gsi)"));
    EXPECT_TRUE(ReadBytes(dir.Path("up.gsi")).starts_with(
        "*110001+0000000000001001 81..06+0000000005123450 82..06+0000000012345670 "))
        << ReadBytes(dir.Path("up.gsi"));
    save("up.sdr", "order", "Easting first (ENZ)");
    const std::string sdr = ReadBytes(dir.Path("up.sdr"));
    ASSERT_GT(sdr.size(), 48u);
    EXPECT_EQ(sdr.substr(40, 8), "111121\r\n");
    EXPECT_EQ(sdr.substr(48, 36), "08KI            1001512.345         ");
}
