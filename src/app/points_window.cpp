#include "app/points_window.h"

#include <QCloseEvent>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <algorithm>
#include <array>
#include <limits>

#include "app/crs_dialog.h"
#include "app/edit_commands.h"
#include "platform/error.h"
#include "qt/ansi_text.h"
#include "qt/screen_units.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
struct GridColumn {
    const char* caption;
    int32_t width;  // character cells
};
// Grid column k shows table column k.
constexpr std::array<GridColumn, PointTable::TotCols> kColumns = {{
    {QT_TRANSLATE_NOOP("tessaly::PointsWindow", "POINT"), 10},
    {QT_TRANSLATE_NOOP("tessaly::PointsWindow", "NORTHING"), 14},
    {QT_TRANSLATE_NOOP("tessaly::PointsWindow", "EASTING"), 14},
    {QT_TRANSLATE_NOOP("tessaly::PointsWindow", "ELEVATION"), 12},
    {QT_TRANSLATE_NOOP("tessaly::PointsWindow", "DESCRIPTION"), 32},
}};

int16_t Int16Of(int value)
{
    return static_cast<int16_t>(
        std::clamp(value, int{std::numeric_limits<int16_t>::min()}, int{std::numeric_limits<int16_t>::max()}));
}
}  // namespace

PointsWindow::PointsWindow(QWidget* parent) : QMainWindow(parent), CommonDialog1(this)
{
    // The design: caption, icon, menu, grid, status bar. The caption carries
    // the marker of unsaved changes.
    setWindowTitle(QStringLiteral("Tessaly[*]"));
    QIcon icon;
    icon.addFile(QStringLiteral(":/tessaly/tessaly-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/tessaly/tessaly-32.png"), QSize(32, 32));
    setWindowIcon(icon);
    BuildMenus();
    BuildGrid();
    BuildStatusBar();
    BuildPlanDock();
    BuildRecentFilesMenu();
    BuildDecimalsMenu();
    ConnectEditState();

    resize(TwipsAcross(kClientWidth), TwipsDown(kClientHeight) + menuBar()->sizeHint().height());
    // Room for the menu, a few rows and the status bar.
    setMinimumSize(TwipsAcross(40 * kCharCellWidth), TwipsDown(12 * kCharCellHeight));

    Form_Load();
}

// The grid's editor closes while QWidget takes the window's children down,
// after this class is gone: nothing the grid or its model says may reach it
// then.
PointsWindow::~PointsWindow()
{
    DBGrid1->Model()->disconnect(this);
    DBGrid1->disconnect(this);
}

// File, Edit and Help (the plan adds its own items: BuildPlanDock), with the
// caption marker the undo steps keep and the dropping of files.
void PointsWindow::BuildMenus()
{
    mnuFile = menuBar()->addMenu(tr("&File"));
    mnuOpen = mnuFile->addAction(tr("&Open"));
    mnuSave = mnuFile->addAction(tr("&Save"));
    mnuDash1 = mnuFile->addSeparator();
    mnuExit = mnuFile->addAction(tr("E&xit"));
    connect(mnuOpen, &QAction::triggered, this, &PointsWindow::mnuOpen_Click);
    connect(mnuSave, &QAction::triggered, this, &PointsWindow::mnuSave_Click);
    connect(mnuExit, &QAction::triggered, this, &PointsWindow::mnuExit_Click);
    mnuOpen->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    mnuSave->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    mnuExit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));

    mnuEdit = menuBar()->addMenu(tr("&Edit"));
    mnuUndo = mnuEdit->addAction(tr("&Undo"), QKeySequence(QStringLiteral("Ctrl+Z")), this,
                                 &PointsWindow::mnuUndo_Click);
    mnuRedo = mnuEdit->addAction(tr("&Redo"), QKeySequence(QStringLiteral("Ctrl+Y")), this,
                                 &PointsWindow::mnuRedo_Click);
    mnuEdit->addSeparator();
    mnuCopy = mnuEdit->addAction(tr("&Copy"), QKeySequence(QStringLiteral("Ctrl+C")), this,
                                 [this] { DBGrid1->Copy(); });
    mnuPaste = mnuEdit->addAction(tr("&Paste"), QKeySequence(QStringLiteral("Ctrl+V")), this,
                                  [this] { DBGrid1->Paste(); });
    mnuEdit->addSeparator();
    mnuFind = mnuEdit->addAction(tr("&Find point..."), QKeySequence(QStringLiteral("Ctrl+F")), this,
                                 &PointsWindow::mnuFind_Click);
    mnuEdit->addAction(tr("Coordinate &System..."), this, [this] {
        DBGrid1->Update();
        if (const std::optional<QString> said = ChangeCrs(PointData, EditHistory, tableChanged_, this)) {
            DBGrid1->Reread();
            ShowStatus(*said);
        }
    });
    connect(&EditHistory, &QUndoStack::cleanChanged, this, [this](bool clean) {
        setWindowModified(!clean);
        UpdateSummary();
    });
    connect(&EditHistory, &QUndoStack::indexChanged, this, [this] { UpdateSummary(); });
    mnuHelp = menuBar()->addMenu(tr("&Help"));
    mnuAbout = mnuHelp->addAction(tr("&About Tessaly"));
    connect(mnuAbout, &QAction::triggered, this, &PointsWindow::mnuAbout_Click);
    // Files dropped from a file manager open like File, Open.
    setAcceptDrops(true);
}

// The client area and the grid in it, wired to the table and the undo steps.
void PointsWindow::BuildGrid()
{
    client_ = new QWidget(this);
    setCentralWidget(client_);
    client_->installEventFilter(this);

    DBGrid1 = new UnboundGrid(client_);
    DBGrid1->setAccessibleName(tr("Points"));
    DBGrid1->setAccessibleDescription(
        tr("One row per point: point number, northing, easting, elevation and description. Type in a cell to "
           "change it; the last row adds a point."));
    QFont gridFont = DBGrid1->font();
    gridFont.setPointSizeF(7.8);
    DBGrid1->setFont(gridFont);
    DBGrid1->horizontalHeader()->setFont(gridFont);
    DBGrid1->verticalHeader()->setFont(gridFont);
    // A new grid comes with two empty columns; Form_Load replaces them.
    DBGrid1->AddColumn(0);
    DBGrid1->AddColumn(1);
    // A row past the table's rows could be typed and saved, but never read
    // back: the grid offers none.
    DBGrid1->SetRowLimit(PointTable::TotRows);
    DBGrid1->SetLastFilledRow([this] { return LastPointRow(); });
    DBGrid1->SetCallbacks({
        [this](RowBuf& buf, std::optional<std::string_view> start, bool prior) {
            DBGrid1_UnboundReadData(buf, start, prior);
        },
        [this](const RowBuf& buf, std::string_view location) { DBGrid1_UnboundWriteData(buf, location); },
        [this](const RowBuf& buf, int32_t& bookmark) { DBGrid1_UnboundAddData(buf, bookmark); },
        [this](std::string_view bookmark) { DBGrid1_UnboundDeleteRow(bookmark); },
    });
    connect(DBGrid1, &UnboundGrid::KeyUp, this,
            [this](int key, Qt::KeyboardModifiers shift) { DBGrid1_KeyUp(key, static_cast<int>(shift.toInt())); });
    connect(DBGrid1, &UnboundGrid::CallbackFailed, this, &PointsWindow::ShowStatus);
    // A change of several rows is one step; it starts with its first row.
    connect(DBGrid1, &UnboundGrid::EditsBegin, this, [this](const QString& what) { macro_ = what; });
    connect(DBGrid1, &UnboundGrid::EditsEnd, this, [this] {
        if (macroOpen_) EditHistory.endMacro();
        macroOpen_ = false;
        macro_.reset();
    });
}

void PointsWindow::BuildStatusBar()
{
    StatusBar = new QStatusBar(client_);
    statusPanel_ = new ElidedLabel(StatusBar);
    statusPanel_->setAccessibleName(tr("Status"));
    StatusBar->addWidget(statusPanel_, 1);
    fileLabel_ = new QLabel(StatusBar);
    countLabel_ = new QLabel(StatusBar);
    partlyLabel_ = new QLabel(tr("partly read"), StatusBar);
    modifiedLabel_ = new QLabel(tr("modified"), StatusBar);
    for (QLabel* l : {fileLabel_, countLabel_, partlyLabel_, modifiedLabel_}) {
        l->setTextFormat(Qt::PlainText);
        StatusBar->addPermanentWidget(l);
    }
    StatusBar->setFixedHeight(TwipsDown(kStatusBarHeight));
}

void PointsWindow::BuildPlanDock()
{
    // The plan: View, Plan (Ctrl+L) shows it beside the grid.
    mnuExportPlan = new QAction(tr("Export Plan &Image..."), this);
    mnuFile->insertAction(mnuDash1, mnuExportPlan);
    Plan = new PlanDock(this, PointData, DBGrid1, mnuExportPlan);
    connect(Plan, &PlanDock::Message, this, &PointsWindow::ShowStatus);
    Plan->View()->SetPositionText([this](double e, double n) { return LatLonText(PointData, e, n); });
    mnuView = new QMenu(tr("&View"), this);
    menuBar()->insertMenu(mnuHelp->menuAction(), mnuView);
    mnuPlan = Plan->toggleViewAction();
    mnuView->addAction(mnuPlan);
}

int PointsWindow::TwipsAcross(int32_t twips) const { return TwipsToPixels(twips, logicalDpiX()); }
int PointsWindow::TwipsDown(int32_t twips) const { return TwipsToPixels(twips, logicalDpiY()); }

void PointsWindow::Form_Load()
{
    // 1. Centre the window on the screen, after shrinking it to the free
    // area of the screen when it is larger.
    FitInto(this->screen()->availableGeometry());
    const QRect screen = this->screen()->geometry();
    const QRect outer = frameGeometry();
    const int32_t left = CentredEdge(PixelsToTwips(screen.width(), logicalDpiX()),
                                     PixelsToTwips(outer.width(), logicalDpiX()));
    const int32_t top = CentredEdge(PixelsToTwips(screen.height(), logicalDpiY()),
                                    PixelsToTwips(outer.height(), logicalDpiY()));
    move(screen.x() + TwipsAcross(left), screen.y() + TwipsDown(top));
    FitInto(this->screen()->availableGeometry());

    // 2. The point table: 10000 empty rows of five columns.
    PointData.Initialise();

    // 3. Remove the columns the grid has, from the last one down.
    for (int i = DBGrid1->ColumnCount() - 1; i >= 0; --i) DBGrid1->RemoveColumn(i);

    // 4. The five point columns.
    for (int k = 0; k < static_cast<int>(kColumns.size()); ++k) {
        DBGrid1->AddColumn(k);
        DBGrid1->SetColumnCaption(k, tr(kColumns[static_cast<size_t>(k)].caption));
        DBGrid1->SetColumnVisible(k, true);
        DBGrid1->SetColumnWidth(k, TwipsAcross(kColumns[static_cast<size_t>(k)].width * kCharCellWidth));
        DBGrid1->SetColumnNumeric(k, k == ColNorthing || k == ColEasting || k == ColElevation);
    }
    DBGrid1->SetFillColumn(ColDescription);
    UpdateSummary();
}

void PointsWindow::FitInto(const QRect& available)
{
    // The frame around the window (title bar, borders) counts.
    const QSize frame = frameGeometry().size() - size();
    const QSize room = available.size() - frame;
    const QSize fitted(std::max(minimumWidth(), std::min(width(), room.width())),
                       std::max(minimumHeight(), std::min(height(), room.height())));
    if (fitted != size()) resize(fitted);
    const QRect outer = frameGeometry();
    const int x = std::clamp(outer.x(), available.left(), std::max(available.left(), available.right() + 1 - outer.width()));
    const int y = std::clamp(outer.y(), available.top(), std::max(available.top(), available.bottom() + 1 - outer.height()));
    if (x != outer.x() || y != outer.y()) move(x, y);
}

void PointsWindow::Form_Resize()
{
    if (isMinimized()) return;
    const QRect client = client_->rect();
    const int top = client.top();
    const int left = 0;
    // A client area lower than the status bar leaves no room: height 0.
    const int height = std::max(0, client.height() - StatusBar->height());
    const int width = client.width();
    DBGrid1->setGeometry(left, top, width, height);
    DBGrid1->setFocus();
}

void PointsWindow::DockStatusBar()
{
    const QRect client = client_->rect();
    const int h = StatusBar->height();
    StatusBar->setGeometry(0, client.bottom() + 1 - h, client.width(), h);
}

bool PointsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == client_ && event->type() == QEvent::Resize) {
        DockStatusBar();
        Form_Resize();
    }
    return QMainWindow::eventFilter(watched, event);
}

void PointsWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Minimising and restoring change the window's size as far as the
    // layout is concerned.
    if (event->type() == QEvent::WindowStateChange) Form_Resize();
}

void PointsWindow::DBGrid1_UnboundReadData(RowBuf& buf, std::optional<std::string_view> StartLocation,
                                           bool ReadPriorRows)
{
    tessaly::DBGrid1_UnboundReadData(PointData, buf, StartLocation, ReadPriorRows);
}

// Edits, additions and deletions go into the table as undo steps.
void PointsWindow::DBGrid1_UnboundWriteData(const RowBuf& buf, std::string_view WriteLocation)
{
    const int32_t r = BookmarkRow(WriteLocation);
    TableRow before = RowOf(PointData, r);
    TableRow after = before;
    if (!buf.rows.empty())
        for (size_t j = 0; j < std::min(after.size(), buf.rows[0].cells.size()); ++j)
            if (const auto& cell = buf.rows[0].cells[j]) after[j] = *cell;
    Push(new RowEditCommand(PointData, tableChanged_, r, std::move(before), PointData.Typed(r), std::move(after),
                            false));
    FitNumbers(r, r + 1);
}

void PointsWindow::DBGrid1_UnboundAddData(const RowBuf& buf, int32_t& NewRowBookmark)
{
    const int32_t r = PointData.RowCapacity();
    if (r >= PointTable::TotRows)
        throw Error("No row added: the table holds " + std::to_string(PointTable::TotRows) + " rows at most");
    TableRow after;
    if (!buf.rows.empty())
        for (size_t j = 0; j < std::min(after.size(), buf.rows[0].cells.size()); ++j)
            if (const auto& cell = buf.rows[0].cells[j]) after[j] = *cell;
    Push(new RowEditCommand(PointData, tableChanged_, r, TableRow{}, false, std::move(after), true));
    NewRowBookmark = r;
    FitNumbers(r, r + 1);
}

void PointsWindow::DBGrid1_UnboundDeleteRow(std::string_view Bookmark)
{
    Push(new RowDeleteCommand(PointData, tableChanged_, BookmarkRow(Bookmark)));
}

void PointsWindow::Push(QUndoCommand* command)
{
    if (macro_ && !macroOpen_) {
        EditHistory.beginMacro(*macro_);
        macroOpen_ = true;
    }
    EditHistory.push(command);
}

void PointsWindow::TableChangedAt(int32_t row) { changedRow_ = row; }

// After an undo or redo the grid reads the table again, once for a step of
// many rows, and shows the row changed last.
void PointsWindow::Replay(bool undo)
{
    DBGrid1->Update();  // the row being edited is a step of its own
    changedRow_ = -1;
    if (undo) EditHistory.undo();
    else EditHistory.redo();
    const int32_t row = changedRow_;
    if (row < 0) return;
    DBGrid1->Reread();
    DBGrid1->GoTo(std::min(row, PointData.RowCapacity()), std::max(0, DBGrid1->Col()));
    FitNumbers(row, row + 1);
}

void PointsWindow::ConnectEditState()
{
    connect(&EditHistory, &QUndoStack::canUndoChanged, this, &PointsWindow::UpdateEditState);
    connect(&EditHistory, &QUndoStack::canRedoChanged, this, &PointsWindow::UpdateEditState);
    connect(DBGrid1->Model(), &UnboundGridModel::PendingChanged, this, &PointsWindow::UpdateEditState);
    UpdateEditState();
}

// A row still being edited is a step to take back: Undo hands it over
// first, which leaves nothing to redo.
void PointsWindow::UpdateEditState()
{
    const bool pending = DBGrid1->Model()->HasPendingRow();
    mnuUndo->setEnabled(EditHistory.canUndo() || pending);
    mnuRedo->setEnabled(EditHistory.canRedo() && !pending);
}

int32_t PointsWindow::LastPointRow() const
{
    int32_t last = -1;
    for (int32_t r : PointData.RowsToSave()) last = r;
    return last;
}

void PointsWindow::mnuUndo_Click() { Replay(true); }

void PointsWindow::mnuRedo_Click() { Replay(false); }

void PointsWindow::mnuFind_Click()
{
    bool ok = false;
    const QString number = QInputDialog::getText(this, tr("Find point"), tr("Point number:"),
                                                 QLineEdit::Normal, QString(), &ok);
    if (!ok || number.trimmed().isEmpty()) return;
    if (!FindPoint(number)) ShowStatus(tr("Point %1 not found").arg(number.trimmed()));
}

bool PointsWindow::FindPoint(const QString& number)
{
    DBGrid1->Update();
    const std::string wanted(TrimBlanks(QStringToTableText(number)));
    const int32_t rows = PointData.RowCapacity();
    if (wanted.empty() || rows == 0) return false;
    const int32_t from = std::max(0, DBGrid1->Row() + 1);
    for (int32_t k = 0; k < rows; ++k) {
        const int32_t r = (from + k) % rows;
        if (TrimBlanks(CellText(PointData.Get(ColPoint, r))) == wanted) {
            DBGrid1->setFocus();
            DBGrid1->GoTo(r, ColPoint);
            return true;
        }
    }
    return false;
}

// The coordinate columns widen to their longest number, so that no number
// is ever cut.
void PointsWindow::FitNumbers(int32_t from, int32_t to)
{
    for (int16_t c : {ColNorthing, ColEasting, ColElevation}) {
        std::string longest;
        for (int32_t r = std::max(0, from); r < std::min(to, PointData.AllocatedRows()); ++r) {
            std::string text = RoundDecimalText(CellText(PointData.Get(c, r)), Decimals());
            if (text.size() > longest.size()) longest = std::move(text);
        }
        if (!longest.empty()) DBGrid1->FitColumnTo(c, TableTextToQString(longest));
    }
}

void PointsWindow::UpdateSummary()
{
    if (!countLabel_) return;
    const QString name = QFileInfo(tableFile_).fileName();
    fileLabel_->setText(name);
    fileLabel_->setToolTip(tableFile_);
    fileLabel_->setVisible(!name.isEmpty());
    const auto n = static_cast<int>(PointData.RowsToSave().size());
    const std::string_view unit = UnitName(PointData.Unit());
    countLabel_->setText(
        unit.empty()
            ? Points(n)
            : tr("%1 in %2").arg(Points(n), QString::fromLatin1(unit.data(), static_cast<qsizetype>(unit.size()))));
    partlyLabel_->setVisible(!partlySource_.empty() &&
                             tableFile_ == QFile::decodeName(QByteArray::fromStdString(partlySource_)));
    modifiedLabel_->setVisible(!EditHistory.isClean());
}

QString PointsWindow::Count(int64_t n, const char* one, const char* many)
{
    return tr(n == 1 ? one : many).arg(n);
}

QString PointsWindow::StatusSummary() const
{
    QStringList parts;
    for (QLabel* l : {fileLabel_, countLabel_, partlyLabel_, modifiedLabel_})
        if (!l->isHidden()) parts << l->text();
    return parts.join(QStringLiteral(" | "));
}

void PointsWindow::closeEvent(QCloseEvent* event)
{
    if (MayDiscardChanges()) event->accept();
    else event->ignore();
}

void PointsWindow::DBGrid1_KeyUp(int /*KeyCode*/, int /*Shift*/)
{
    LastRow = Int16Of(DBGrid1->Row());
    LastCol = Int16Of(DBGrid1->Col());
    LastStr = QStringToTableText(DBGrid1->Text());
}

void PointsWindow::ShowStatus(const QString& text) { statusPanel_->SetMessage(text); }

QString PointsWindow::StatusText() const { return statusPanel_->text(); }

}  // namespace tessaly
