#include "app/points_window.h"

#include <QEvent>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <algorithm>
#include <array>
#include <limits>

#include "platform/qt/ansi_text.h"
#include "platform/qt/screen_units.h"

namespace tessaly {

namespace {
struct GridColumn {
    const char* caption;
    int32_t width;  // character cells
};
// Grid column k shows table column k.
constexpr std::array<GridColumn, PointTable::TotCols> kColumns = {{
    {"POINT", 10},
    {"NORTHING", 14},
    {"EASTING", 14},
    {"ELEVATION", 12},
    {"DESCRIPTION", 32},
}};

int16_t Int16Of(int value)
{
    return static_cast<int16_t>(
        std::clamp(value, int{std::numeric_limits<int16_t>::min()}, int{std::numeric_limits<int16_t>::max()}));
}
}  // namespace

PointsWindow::PointsWindow(QWidget* parent) : QMainWindow(parent), CommonDialog1(this)
{
    // The design: caption, icon, menu, grid, status bar.
    setWindowTitle(QStringLiteral("Tessaly"));
    QIcon icon;
    icon.addFile(QStringLiteral(":/tessaly/tessaly-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/tessaly/tessaly-32.png"), QSize(32, 32));
    setWindowIcon(icon);

    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuOpen = mnuFile->addAction(QStringLiteral("&Open"));
    mnuSave = mnuFile->addAction(QStringLiteral("&Save"));
    mnuDash1 = mnuFile->addSeparator();
    mnuExit = mnuFile->addAction(QStringLiteral("E&xit"));
    connect(mnuOpen, &QAction::triggered, this, &PointsWindow::mnuOpen_Click);
    connect(mnuSave, &QAction::triggered, this, &PointsWindow::mnuSave_Click);
    connect(mnuExit, &QAction::triggered, this, &PointsWindow::mnuExit_Click);

    client_ = new QWidget(this);
    setCentralWidget(client_);
    client_->installEventFilter(this);

    DBGrid1 = new UnboundGrid(client_);
    QFont gridFont = DBGrid1->font();
    gridFont.setPointSizeF(7.8);
    DBGrid1->setFont(gridFont);
    DBGrid1->horizontalHeader()->setFont(gridFont);
    DBGrid1->verticalHeader()->setFont(gridFont);
    // A new grid comes with two empty columns; Form_Load replaces them.
    DBGrid1->AddColumn(0);
    DBGrid1->AddColumn(1);
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

    StatusBar = new QStatusBar(client_);
    statusPanel_ = new QLabel(StatusBar);
    statusPanel_->setMinimumWidth(1);
    statusPanel_->setTextFormat(Qt::PlainText);
    StatusBar->addWidget(statusPanel_, 1);
    StatusBar->setFixedHeight(TwipsDown(kStatusBarHeight));

    // The plan: View, Plan (Ctrl+L) shows it beside the grid.
    mnuFile->addSeparator();
    mnuExportPlan = mnuFile->addAction(QStringLiteral("Export Plan &Image..."));
    Plan = new PlanDock(this, PointData, DBGrid1, mnuExportPlan);
    connect(Plan, &PlanDock::Message, this, &PointsWindow::ShowStatus);
    mnuView = menuBar()->addMenu(QStringLiteral("&View"));
    mnuPlan = Plan->toggleViewAction();
    mnuView->addAction(mnuPlan);

    resize(TwipsAcross(kClientWidth), TwipsDown(kClientHeight) + menuBar()->sizeHint().height());

    Form_Load();
}

int PointsWindow::TwipsAcross(int32_t twips) const { return TwipsToPixels(twips, logicalDpiX()); }
int PointsWindow::TwipsDown(int32_t twips) const { return TwipsToPixels(twips, logicalDpiY()); }

void PointsWindow::Form_Load()
{
    // 1. Centre the window on the screen.
    const QRect screen = this->screen()->geometry();
    const QRect outer = frameGeometry();
    const int32_t left = CentredEdge(PixelsToTwips(screen.width(), logicalDpiX()),
                                     PixelsToTwips(outer.width(), logicalDpiX()));
    const int32_t top = CentredEdge(PixelsToTwips(screen.height(), logicalDpiY()),
                                    PixelsToTwips(outer.height(), logicalDpiY()));
    move(screen.x() + TwipsAcross(left), screen.y() + TwipsDown(top));

    // 2. The point table: 10000 empty rows of five columns.
    PointData.Initialise();

    // 3. Remove the columns the grid has, from the last one down.
    for (int i = DBGrid1->ColumnCount() - 1; i >= 0; --i) DBGrid1->RemoveColumn(i);

    // 4. The five point columns.
    for (int k = 0; k < static_cast<int>(kColumns.size()); ++k) {
        DBGrid1->AddColumn(k);
        DBGrid1->SetColumnCaption(k, QString::fromLatin1(kColumns[static_cast<size_t>(k)].caption));
        DBGrid1->SetColumnVisible(k, true);
        DBGrid1->SetColumnWidth(k, TwipsAcross(kColumns[static_cast<size_t>(k)].width * kCharCellWidth));
    }
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

void PointsWindow::DBGrid1_UnboundWriteData(const RowBuf& buf, std::string_view WriteLocation)
{
    tessaly::DBGrid1_UnboundWriteData(PointData, buf, WriteLocation);
}

void PointsWindow::DBGrid1_UnboundAddData(const RowBuf& buf, int32_t& NewRowBookmark)
{
    tessaly::DBGrid1_UnboundAddData(PointData, buf, NewRowBookmark);
}

void PointsWindow::DBGrid1_UnboundDeleteRow(std::string_view Bookmark)
{
    tessaly::DBGrid1_UnboundDeleteRow(PointData, Bookmark);
}

void PointsWindow::DBGrid1_KeyUp(int /*KeyCode*/, int /*Shift*/)
{
    LastRow = Int16Of(DBGrid1->Row());
    LastCol = Int16Of(DBGrid1->Col());
    LastStr = QStringToAnsi(DBGrid1->Text());
}

void PointsWindow::ShowStatus(const QString& text)
{
    statusPanel_->setText(text);
    statusPanel_->setToolTip(text);
}

QString PointsWindow::StatusText() const { return statusPanel_->text(); }

}  // namespace tessaly
