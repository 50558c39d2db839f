#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <algorithm>

#include "gui_support.h"
#include "platform/error.h"
#include "qt/unbound_grid.h"
#include "table/grid_adapter.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {
using Texts = std::array<std::optional<std::string>, PointTable::TotCols>;

Texts TextsOf(const RowBuf& buf)
{
    Texts t;
    for (size_t j = 0; j < t.size(); ++j)
        if (buf.rows.at(0).cells[j]) t[j] = CellText(*buf.rows[0].cells[j]);
    return t;
}

const QString kPencil = QStringLiteral("\u270E");
const QString kTriangle = QStringLiteral("\u25B6");

// A grid on the real callbacks of a 10000-row table whose first column says
// which row it is ("p0" .. "p9999"), with every callback recorded, and a
// line edit after it in the tab order.
struct GridTest : ::testing::Test {
    struct Read {
        std::optional<std::string> start;
        bool prior;
        int asked, delivered;
    };
    PointTable table;
    std::vector<Read> reads;
    std::vector<std::pair<std::string, Texts>> writes;
    std::vector<Texts> adds;
    std::vector<std::string> deletes;
    QWidget window;
    UnboundGrid* grid = nullptr;
    QLineEdit* next = nullptr;

    void SetUp() override
    {
        for (int32_t r = 0; r < table.RowCapacity(); ++r) {
            std::string text = "p";
            table.Set(ColPoint, r, text += std::to_string(r));
        }
        grid = new UnboundGrid(&window);
        grid->setGeometry(0, 0, 480, 300);
        next = new QLineEdit(&window);
        next->setGeometry(0, 310, 100, 24);
        const char* captions[] = {"POINT", "NORTHING", "EASTING", "ELEVATION", "DESCRIPTION"};
        for (int k = 0; k < 5; ++k) {
            grid->AddColumn(k);
            grid->SetColumnCaption(k, QString::fromLatin1(captions[k]));
            grid->SetColumnWidth(k, 80);
        }
        grid->SetCallbacks({
            [this](RowBuf& buf, std::optional<std::string_view> start, bool prior) {
                Read r{start ? std::optional<std::string>(*start) : std::nullopt, prior, buf.RowCount(), 0};
                DBGrid1_UnboundReadData(table, buf, start, prior);
                r.delivered = buf.RowCount();
                reads.push_back(r);
            },
            [this](const RowBuf& buf, std::string_view location) {
                writes.emplace_back(std::string(location), TextsOf(buf));
                DBGrid1_UnboundWriteData(table, buf, location);
            },
            [this](const RowBuf& buf, int32_t& bookmark) {
                adds.push_back(TextsOf(buf));
                DBGrid1_UnboundAddData(table, buf, bookmark);
            },
            [this](std::string_view bookmark) {
                deletes.emplace_back(bookmark);
                DBGrid1_UnboundDeleteRow(table, bookmark);
            },
        });
        window.resize(480, 340);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        grid->setFocus();
        grid->setCurrentIndex(Model()->index(0, 0));
        Pump(20);
    }

    UnboundGridModel* Model() const { return grid->Model(); }
    QString Shown(int row, int col) const { return Model()->data(Model()->index(row, col), Qt::DisplayRole).toString(); }
    QString Selector(int row) const { return Model()->headerData(row, Qt::Vertical, Qt::DisplayRole).toString(); }
    QWidget* Focus() const { return QApplication::focusWidget() ? QApplication::focusWidget() : grid; }
    static void Settle()
    {
        // Closed editors go away and posted updates happen, as between two
        // keystrokes of a user.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void Go(int row, int col)
    {
        grid->setFocus();
        grid->setCurrentIndex(Model()->index(row, col));
    }
    void Type(const QString& text)
    {
        for (QChar c : text) {
            QTest::keyClick(Focus(), c.toLatin1());
            Settle();
        }
    }
    void TypeUnicode(const QString& text)
    {
        // Characters beyond Latin-1 reach the widget as text, the way an
        // input method delivers them.
        QTest::keyClick(Focus(), 'a');  // opens the editor
        auto* edit = qobject_cast<QLineEdit*>(Focus());
        ASSERT_NE(edit, nullptr);
        edit->setText(text);
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(Focus(), key, mods);
        Settle();
    }
    void ClickSelector(int row, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QHeaderView* h = grid->verticalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, mods, QPoint(4, h->sectionViewportPosition(row) + h->sectionSize(row) / 2));
        Settle();
    }
};
}  // namespace

TEST_F(GridTest, PagesRowsInAScreenfulAtATimeFromBothEnds)
{
    reads.clear();
    grid->Refresh();
    Pump();
    const int page = Model()->PageSize();
    ASSERT_FALSE(reads.empty());
    // The end is found by reading backwards from it; the top is read forward.
    EXPECT_FALSE(reads[0].start);
    EXPECT_TRUE(reads[0].prior);
    EXPECT_TRUE(std::any_of(reads.begin(), reads.end(), [](const Read& r) { return !r.start && !r.prior; }));
    EXPECT_EQ(Shown(0, 0), "p0");
    EXPECT_EQ(Model()->rowCount(), 10001);  // and the add-new row

    reads.clear();
    for (int i = 0; i < 4; ++i) Key(Qt::Key_PageDown);
    Pump();
    ASSERT_FALSE(reads.empty());
    for (const Read& r : reads) {
        EXPECT_TRUE(r.start && !r.prior) << "scrolling down reads on from the last row held";
        EXPECT_EQ(r.delivered, r.asked);
    }
    const int row = grid->currentIndex().row();
    EXPECT_GT(row, page);
    EXPECT_EQ(Shown(row, 0), QString("p%1").arg(row));

    reads.clear();
    Key(Qt::Key_End, Qt::ControlModifier);
    Pump();
    EXPECT_TRUE(std::any_of(reads.begin(), reads.end(), [](const Read& r) { return !r.start && r.prior; }))
        << "the end is read backwards from the end";
    EXPECT_EQ(Shown(9999, 0), "p9999");
    EXPECT_EQ(Shown(10000, 0), "");  // the add-new row

    reads.clear();
    for (int i = 0; i < 3; ++i) Key(Qt::Key_PageUp);
    Pump();
    ASSERT_FALSE(reads.empty());
    for (const Read& r : reads) EXPECT_TRUE(r.start && r.prior) << "scrolling up reads back from the first row held";
    const int up = grid->currentIndex().row();
    EXPECT_EQ(Shown(up, 0), QString("p%1").arg(up));

    for (const Read& r : reads) EXPECT_LE(r.asked, 2 * page);
}

TEST_F(GridTest, RefreshDropsTheRowsHeldAndReadsAgain)
{
    EXPECT_EQ(Shown(0, 0), "p0");
    table.Set(ColPoint, 0, std::string("changed"));
    EXPECT_EQ(Shown(0, 0), "p0") << "the grid hears of a change only through a refresh";
    table.Clear();
    table.AddPoint({"1", "100", "200", "10", "IP"});
    reads.clear();
    grid->Refresh();
    Pump();
    EXPECT_FALSE(reads.empty());
    EXPECT_EQ(Shown(0, 0), "1");
    EXPECT_EQ(Shown(0, 4), "IP");
    EXPECT_EQ(Shown(1, 0), "");
}

TEST_F(GridTest, EditsGoBackOnceTheUserLeavesTheRowWithUntouchedColumnsNull)
{
    using W = std::vector<std::pair<std::string, Texts>>;
    const std::optional<std::string> null;
    const struct {
        const char* name;
        std::function<void(GridTest&)> act;
        W expected;
    } cases[] = {
        {"Enter commits and moves down",
         [](GridTest& t) {
             t.Go(8, 2);
             t.Type("408");
             t.Key(Qt::Key_Return);
         },
         {{"8", {null, null, "408", null, null}}}},
        {"leaving the row writes it",
         [](GridTest& t) {
             t.Go(2, 2);
             t.Type("407");
             t.Key(Qt::Key_Return);
             t.Key(Qt::Key_Down);
         },
         {{"2", {null, null, "407", null, null}}}},
        {"two cells of one row go together",
         [](GridTest& t) {
             t.Go(5, 1);
             t.Type("503.25");
             t.Key(Qt::Key_Right);
             t.Type("IP");
             t.Key(Qt::Key_Return);
         },
         {{"5", {null, "503.25", "IP", null, null}}}},
        {"leaving with the editor open keeps its text",
         [](GridTest& t) {
             t.Go(3, 4);
             t.Type("FENCE");
             t.Key(Qt::Key_Down);
         },
         {{"3", {null, null, null, null, "FENCE"}}}},
        {"a cell left as it was is no edit",
         [](GridTest& t) {
             t.Go(4, 0);
             t.Key(Qt::Key_F2);
             t.Key(Qt::Key_Return);
             t.Key(Qt::Key_Down);
         },
         {}},
        {"Esc drops the edits of the row",
         [](GridTest& t) {
             t.Go(2, 2);
             t.Type("9");
             t.Key(Qt::Key_Right);
             t.Key(Qt::Key_Escape);
             t.Key(Qt::Key_Down);
         },
         {}},
        {"a click in another row commits",
         [](GridTest& t) {
             t.Go(1, 3);
             t.Type("12.5");
             t.Key(Qt::Key_Right);
             const QRect cell = t.grid->visualRect(t.Model()->index(6, 0));
             QTest::mouseClick(t.grid->viewport(), Qt::LeftButton, {}, cell.center());
         },
         {{"1", {null, null, null, "12.5", null}}}},
        {"each row on its own",
         [](GridTest& t) {
             t.Go(1, 1);
             t.Type("1");
             t.Key(Qt::Key_Down);
             t.Type("2");
             t.Key(Qt::Key_Down);
         },
         {{"1", {null, "1", null, null, null}}, {"2", {null, "2", null, null, null}}}},
    };
    for (const auto& c : cases) {
        writes.clear();
        c.act(*this);
        Pump(10);
        EXPECT_EQ(writes, c.expected) << c.name;
        grid->Update();
        Model()->CancelPendingRow();
    }
    EXPECT_EQ(CellText(table.Get(ColEasting, 2)), "407");
    EXPECT_EQ(CellText(table.Get(ColDescription, 3)), "FENCE");
    EXPECT_EQ(CellText(table.Get(ColElevation, 1)), "12.5");
    EXPECT_EQ(table.CurrItems(), 0) << "edits change no counter";
}

TEST_F(GridTest, TheRowSelectorMarksCurrentEditedAndAddNewRows)
{
    Go(3, 1);
    EXPECT_EQ(Selector(3), kTriangle);
    EXPECT_EQ(Selector(10000), "*");
    Type("7");
    Key(Qt::Key_Right);
    EXPECT_EQ(Selector(3), kPencil);
    Key(Qt::Key_Down);
    EXPECT_EQ(Selector(3), "");
    EXPECT_EQ(Selector(4), kTriangle);
}

TEST_F(GridTest, TypingInTheAddNewRowAddsARowThroughTheCallback)
{
    const int addNew = Model()->AddNewRow();
    ASSERT_EQ(addNew, 10000);
    Go(addNew, 1);
    Type("5000");
    Key(Qt::Key_Right);
    EXPECT_EQ(Model()->rowCount(), 10002) << "a fresh add-new row appears below the new row";
    EXPECT_EQ(Selector(addNew), kPencil);
    EXPECT_EQ(Selector(addNew + 1), "*");
    Type("1000");
    Key(Qt::Key_Right);
    EXPECT_TRUE(adds.empty());
    Key(Qt::Key_Up);

    const std::optional<std::string> null;
    ASSERT_EQ(adds.size(), 1u);
    EXPECT_EQ(adds[0], (Texts{null, "5000", "1000", null, null}));
    EXPECT_TRUE(writes.empty());
    EXPECT_EQ(table.RowCapacity(), 10001);
    EXPECT_EQ(table.CurrItems(), 0);
    EXPECT_EQ(Model()->DataRows(), 10001);
    EXPECT_EQ(Model()->rowCount(), 10002);
    EXPECT_EQ(Shown(10000, 1), "5000");
    EXPECT_EQ(Shown(10000, 0), "");
    EXPECT_EQ(Selector(10000), "") << "an ordinary row now";
    EXPECT_EQ(Selector(10001), "*");

    // Esc takes back a new row before it is added.
    Go(10001, 0);
    Type("9");
    Key(Qt::Key_Right);
    EXPECT_EQ(Model()->rowCount(), 10003);
    Key(Qt::Key_Escape);
    EXPECT_EQ(Model()->rowCount(), 10002);
    Key(Qt::Key_Up);
    EXPECT_EQ(adds.size(), 1u);
}

TEST_F(GridTest, DelOnSelectedRowsDeletesThemLastFirst)
{
    ClickSelector(3);
    Key(Qt::Key_Delete);
    EXPECT_EQ(deletes, (std::vector<std::string>{"3"}));
    EXPECT_EQ(table.RowCapacity(), 9999);
    EXPECT_EQ(Model()->rowCount(), 10000);
    EXPECT_EQ(Shown(3, 0), "p4");

    deletes.clear();
    ClickSelector(1);
    ClickSelector(2, Qt::ShiftModifier);
    Key(Qt::Key_Delete);
    EXPECT_EQ(deletes, (std::vector<std::string>{"2", "1"}));
    EXPECT_EQ(Shown(0, 0), "p0");
    EXPECT_EQ(Shown(1, 0), "p4");

    deletes.clear();
    grid->selectRow(Model()->AddNewRow());
    Key(Qt::Key_Delete);
    EXPECT_TRUE(deletes.empty()) << "the add-new row is not deletable";
    Go(5, 2);
    Key(Qt::Key_Delete);
    EXPECT_TRUE(deletes.empty()) << "Del in a cell deletes no row";
}

TEST_F(GridTest, ArrowsStopAtTheEdgesAndTabLeavesTheGrid)
{
    const struct {
        int row, col;
        Qt::Key key;
        int toRow, toCol;
    } cases[] = {
        {0, 4, Qt::Key_Right, 0, 4}, {1, 0, Qt::Key_Left, 1, 0}, {0, 2, Qt::Key_Up, 0, 2},
        {0, 2, Qt::Key_Down, 1, 2},  {3, 2, Qt::Key_Right, 3, 3},
    };
    for (const auto& c : cases) {
        Go(c.row, c.col);
        Key(c.key);
        EXPECT_EQ(grid->currentIndex().row(), c.toRow) << c.row << "," << c.col << " key " << c.key;
        EXPECT_EQ(grid->currentIndex().column(), c.toCol) << c.row << "," << c.col << " key " << c.key;
    }

    Go(1, 1);
    Key(Qt::Key_Tab);
    EXPECT_EQ(window.focusWidget(), next);

    Go(1, 1);
    Type("x");
    Key(Qt::Key_Tab);
    EXPECT_EQ(window.focusWidget(), next) << "Tab in the editor leaves the grid too";
    EXPECT_EQ(Shown(1, 1), "x") << "keeping the typed text";
    EXPECT_TRUE(writes.empty());
    grid->Update();
    EXPECT_EQ(writes.size(), 1u);
}

TEST_F(GridTest, ShowsAndStoresAnyCharacter)
{
    table.Set(ColDescription, 6, std::string("caf\xC3\xA9 \xE2\x82\xAC \xCE\xA9"));
    grid->Refresh();
    EXPECT_EQ(Shown(6, 4), QStringLiteral("caf\u00E9 \u20AC \u03A9"));

    Go(7, 4);
    TypeUnicode(QStringLiteral("Stra\u00DFe \u2014 \u65E5 \u0416"));
    Key(Qt::Key_Down);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(CellText(table.Get(ColDescription, 7)), "Stra\xC3\x9F" "e \xE2\x80\x94 \xE6\x97\xA5 \xD0\x96");

    QApplication::clipboard()->setText(QStringLiteral("\u0391\u03B2\t\u65E5\u672C"));
    Go(8, 3);
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(CellText(table.Get(ColElevation, 8)), "\xCE\x91\xCE\xB2");
    EXPECT_EQ(CellText(table.Get(ColDescription, 8)), "\xE6\x97\xA5\xE6\x9C\xAC");
    Key(Qt::Key_C, Qt::ControlModifier);  // the pasted block, still selected
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("\u0391\u03B2\t\u65E5\u672C\n"));
}

TEST_F(GridTest, AFailingCallbackIsReportedAndTheGridCarriesOn)
{
    UnboundCallbacks failing;
    failing.ReadData = [this](RowBuf& buf, std::optional<std::string_view> start, bool prior) {
        DBGrid1_UnboundReadData(table, buf, start, prior);
    };
    failing.WriteData = [](const RowBuf&, std::string_view) { throw Error("the disk is on fire"); };
    grid->SetCallbacks(failing);
    QSignalSpy spy(grid, &UnboundGrid::CallbackFailed);
    Go(2, 2);
    Type("1");
    Key(Qt::Key_Down);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), "the disk is on fire");
    EXPECT_EQ(Shown(2, 2), "") << "the grid shows what the table holds";

    ClickSelector(4);
    Key(Qt::Key_Delete);  // no delete callback at all
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(Shown(4, 0), "p4");
}

TEST_F(GridTest, SizingOneRowSizesEveryRowAndTheScreenfulRead)
{
    QHeaderView* rows = grid->verticalHeader();
    const int before = rows->sectionSize(5);
    const int page = Model()->PageSize();
    rows->resizeSection(2, before * 2);
    for (int r : {0, 2, 5, 9999, 10000}) EXPECT_EQ(rows->sectionSize(r), before * 2) << r;
    EXPECT_LT(Model()->PageSize(), page) << "taller rows, fewer of them a screen";
}

TEST_F(GridTest, KeysAndClipboardWorkAsInASpreadsheet)
{
    struct Expect {
        int col, row;
        const char* text;
    };
    const struct {
        const char* name;
        std::function<void(GridTest&)> act;
        std::vector<Expect> table;
        const char* clipboard;  // nullptr: not looked at
        int currentRow;         // -1: not looked at
    } cases[] = {
        {"a printable key types over the cell", [](GridTest& t) { t.Go(2, 0); t.Type("Z"); t.Key(Qt::Key_Down); },
         {{0, 2, "Z"}}, nullptr, 3},
        {"F2 edits the text as it stands", [](GridTest& t) { t.Go(9, 0); t.Key(Qt::Key_F2); t.Type("x"); t.Key(Qt::Key_Return); },
         {{0, 9, "p9x"}}, nullptr, 10},
        {"Enter with no editor moves down", [](GridTest& t) { t.Go(3, 1); t.Key(Qt::Key_Return); }, {}, nullptr, 4},
        {"Del empties the selected cells",
         [](GridTest& t) { t.Go(4, 0); t.Key(Qt::Key_Right, Qt::ShiftModifier); t.Key(Qt::Key_Down, Qt::ShiftModifier); t.Key(Qt::Key_Delete); },
         {{0, 4, ""}, {0, 5, ""}, {0, 6, "p6"}}, nullptr, -1},
        {"Backspace empties the current cell", [](GridTest& t) { t.Go(7, 0); t.Key(Qt::Key_Backspace); },
         {{0, 7, ""}}, nullptr, 7},
        {"Ctrl+C copies cells as tab-separated text",
         [](GridTest& t) { t.Go(10, 0); t.Key(Qt::Key_Right, Qt::ShiftModifier); t.Key(Qt::Key_Down, Qt::ShiftModifier); t.Key(Qt::Key_C, Qt::ControlModifier); },
         {}, "p10\t\np11\t\n", -1},
        {"Ctrl+C copies whole rows", [](GridTest& t) { t.ClickSelector(12); t.Key(Qt::Key_C, Qt::ControlModifier); },
         {}, "p12\t\t\t\t\n", -1},
        {"Ctrl+V pastes from the current cell on",
         [](GridTest& t) { QApplication::clipboard()->setText("a\tb\r\nc\td\te\tf\tg\r\n"); t.Go(13, 1); t.Key(Qt::Key_V, Qt::ControlModifier); },
         {{1, 13, "a"}, {2, 13, "b"}, {1, 14, "c"}, {4, 14, "f"}, {0, 14, "p14"}}, nullptr, 13},
        {"Ctrl+V past the last row adds rows",
         [](GridTest& t) { QApplication::clipboard()->setText("x\ny\nz"); t.Go(9999, 0); t.Key(Qt::Key_V, Qt::ControlModifier); },
         {{0, 9999, "x"}, {0, 10000, "y"}, {0, 10001, "z"}}, nullptr, 9999},
    };
    for (const auto& c : cases) {
        c.act(*this);
        Settle();
        for (const Expect& e : c.table)
            EXPECT_EQ(CellText(table.Get(static_cast<int16_t>(e.col), e.row)), e.text) << c.name << " " << e.row;
        if (c.clipboard) {
            EXPECT_EQ(QApplication::clipboard()->text().toStdString(), c.clipboard) << c.name;
        }
        if (c.currentRow >= 0) {
            EXPECT_EQ(grid->currentIndex().row(), c.currentRow) << c.name;
        }
        EXPECT_EQ(Focus(), grid) << c.name << ": no editor left open";
    }
    EXPECT_TRUE(deletes.empty()) << "no row was deleted";
    EXPECT_EQ(table.RowCapacity(), 10002);
}

TEST_F(GridTest, NumericColumnsAreRightAlignedAndMarkText)
{
    grid->SetColumnNumeric(1, true);
    table.Set(ColNorthing, 3, std::string("12ft"));
    table.Set(ColNorthing, 4, std::string("503.25"));
    table.Set(ColEasting, 3, std::string("12ft"));
    grid->Refresh();
    auto role = [&](int row, int col, int r) { return Model()->data(Model()->index(row, col), r); };
    EXPECT_TRUE(role(3, 1, Qt::BackgroundRole).isValid());
    EXPECT_EQ(role(3, 1, Qt::ToolTipRole).toString(), "Not a number: the NORTHING \"12ft\" is text");
    EXPECT_FALSE(role(4, 1, Qt::BackgroundRole).isValid());
    EXPECT_FALSE(role(3, 2, Qt::BackgroundRole).isValid()) << "only numeric columns mark";
    EXPECT_EQ(role(4, 1, Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(grid->textElideMode(), Qt::ElideNone);
    const int before = grid->columnWidth(1);
    grid->FitColumnTo(1, QStringLiteral("123456789012.123456"));
    EXPECT_GT(grid->columnWidth(1), before);
}

TEST_F(GridTest, LongCellsAreDrawnTippedAndEditedBounded)
{
    const std::string huge = std::string(8u << 20, 'x') + "END";  // several megabytes
    const std::string editable(40000, 'y');                       // past a line edit's usual 32767
    table.Set(ColDescription, 2, std::string(huge));
    table.Set(ColDescription, 3, std::string(editable));
    grid->Refresh();
    const QString shown = Shown(2, 4);
    EXPECT_EQ(shown.size(), UnboundGridModel::kShownChars + 1);
    EXPECT_TRUE(shown.endsWith(QChar(0x2026)));
    EXPECT_FALSE(grid->grab().isNull());  // painting lays out only the start

    const QRect cell = grid->visualRect(Model()->index(2, 4));
    QHelpEvent help(QEvent::ToolTip, cell.center(), grid->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(grid->viewport(), &help);
    EXPECT_LT(QToolTip::text().size(), UnboundGridModel::kTipChars * 2);
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("only the first 4000 characters shown")));
    QToolTip::hideText();

    // The long cell opens read-only and closing it keeps every byte; the
    // editable one takes a character at its end.
    Go(2, 4);
    Key(Qt::Key_F2);
    auto* edit = qobject_cast<QLineEdit*>(Focus());
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_LT(edit->text().size(), UnboundGridModel::kEditorChars + 100);
    EXPECT_EQ(grid->Text().size(), static_cast<qsizetype>(huge.size())) << "the cell's whole text";
    Key(Qt::Key_Return);
    Go(3, 4);
    Key(Qt::Key_F2);
    edit = qobject_cast<QLineEdit*>(Focus());
    ASSERT_NE(edit, nullptr);
    EXPECT_FALSE(edit->isReadOnly());
    Key(Qt::Key_End);
    Type(QStringLiteral("z"));
    Key(Qt::Key_Return);
    Go(0, 0);
    Settle();
    EXPECT_EQ(CellText(table.Get(ColDescription, 2)), huge);
    EXPECT_EQ(CellText(table.Get(ColDescription, 3)), editable + "z");
    Go(2, 4);
    EXPECT_EQ(grid->SelectionText().size(), static_cast<qsizetype>(huge.size() + 1)) << "Copy copies it whole";
}
