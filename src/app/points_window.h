#pragma once
// PointsWindow: the one window of Tessaly. It owns the point table and every
// command: the grid callbacks, the File menu and the layout. It is created at
// start-up and lives until the program ends.
#include <QMainWindow>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/plan_dock.h"
#include "platform/qt/file_dialog.h"
#include "platform/qt/unbound_grid.h"
#include "table/grid_adapter.h"
#include "table/point_table.h"

class QAction;
class QLabel;
class QMenu;
class QStatusBar;

namespace tessaly {

class PointsWindow : public QMainWindow {
    Q_OBJECT
public:
    // The client area when the window opens, in twips.
    static constexpr int32_t kClientWidth = 10536;
    static constexpr int32_t kClientHeight = 7068;
    // The status bar's height, in twips.
    static constexpr int32_t kStatusBarHeight = 312;

    explicit PointsWindow(QWidget* parent = nullptr);

    // The points.
    PointTable PointData;
    // The grid's current row, column and cell text at the last key release.
    int16_t LastRow = 0;
    int16_t LastCol = 0;
    std::string LastStr;

    // The controls.
    QMenu* mnuFile = nullptr;
    QAction* mnuOpen = nullptr;
    QAction* mnuSave = nullptr;
    QAction* mnuDash1 = nullptr;
    QAction* mnuExit = nullptr;
    QAction* mnuExportPlan = nullptr;  // after the File menu's own entries
    QMenu* mnuView = nullptr;
    QAction* mnuPlan = nullptr;
    UnboundGrid* DBGrid1 = nullptr;
    QStatusBar* StatusBar = nullptr;
    FileDialog CommonDialog1;
    PlanDock* Plan = nullptr;

    // Start-up and layout.
    void Form_Load();
    void Form_Resize();

    // The File menu.
    void mnuOpen_Click();
    void mnuSave_Click();
    void mnuExit_Click();

    // The grid's callbacks and its key-release handler.
    void DBGrid1_UnboundReadData(RowBuf& buf, std::optional<std::string_view> StartLocation, bool ReadPriorRows);
    void DBGrid1_UnboundWriteData(const RowBuf& buf, std::string_view WriteLocation);
    void DBGrid1_UnboundAddData(const RowBuf& buf, int32_t& NewRowBookmark);
    void DBGrid1_UnboundDeleteRow(std::string_view Bookmark);
    void DBGrid1_KeyUp(int KeyCode, int Shift);

    // The area below the menu bar that holds the grid and the status bar.
    QWidget* ClientArea() const { return client_; }
    // The text of the status bar's one panel.
    QString StatusText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ShowStatus(const QString& text);
    void LoadPoints(const std::string& name);
    void SavePoints(const std::string& name);
    void DockStatusBar();
    int TwipsAcross(int32_t twips) const;
    int TwipsDown(int32_t twips) const;

    QWidget* client_ = nullptr;
    QLabel* statusPanel_ = nullptr;
};

}  // namespace tessaly
