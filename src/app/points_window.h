#pragma once
// PointsWindow: the one window of Tessaly. It owns the point table and every
// command: the grid callbacks, the File menu and the layout. It is created at
// start-up and lives until the program ends.
#include <QMainWindow>
#include <QUndoStack>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/plan_dock.h"
#include "formats/formats.h"
#include "qt/elided_label.h"
#include "qt/file_dialog.h"
#include "qt/unbound_grid.h"
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
    ~PointsWindow() override;

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
    QMenu* mnuRecent = nullptr;  // File, Recent Files: the files opened last
    QAction* mnuDash1 = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuEdit = nullptr;
    QAction* mnuUndo = nullptr;
    QAction* mnuRedo = nullptr;
    QAction* mnuCopy = nullptr;
    QAction* mnuPaste = nullptr;
    QAction* mnuFind = nullptr;

    QMenu* mnuHelp = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* mnuExportPlan = nullptr;  // after the File menu's own entries
    QMenu* mnuView = nullptr;
    QAction* mnuPlan = nullptr;
    QMenu* mnuDecimals = nullptr;  // View, Decimals: As read, 0 to 4
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

    // The Edit menu. Every change made through the grid since the last load
    // can be taken back; the table differs from the last load or save while
    // the history is away from its clean state.
    QUndoStack EditHistory;
    void mnuUndo_Click();
    void mnuRedo_Click();
    void mnuFind_Click();
    // Goes to the next row (after the current one, wrapping) whose point
    // number is NUMBER; false when there is none.
    bool FindPoint(const QString& number);

    // Unsaved changes: asks whether to save them first. False when the user
    // cancelled (or the save did not happen); true when it is fine to go on.
    bool MayDiscardChanges();
    // Shrinks the window to fit AVAILABLE (a screen's free area) and moves
    // it inside; never below the minimum size.
    void FitInto(const QRect& available);

    // The Help menu.
    void mnuAbout_Click();
    // What Help, About Tessaly shows: version, formats, licence.
    static QString AboutText();

    // Opens a file named outside the Open dialog (command line, drop) the
    // way File, Open would open it.
    void OpenNamedFile(const std::string& name);
    // Opens the first of NAMES; the status bar says the others were not.
    void OpenFirstFile(const std::vector<std::string>& names);
    // File, Recent Files: opens PATH like File, Open; a file that is gone
    // is said and leaves the list.
    void OpenRecentFile(const QString& path);

    // View, Decimals: the grid (and the plan) show coordinates rounded to
    // PLACES decimals and padded with zeros, -1 as read; the table and the
    // files keep their text. Remembered between runs.
    void SetDecimals(int places);
    int Decimals() const;

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
    // The status bar's right end: the file the table came from, the number
    // of points, "partly read" when the load of that file stopped early and
    // "modified" while there are unsaved changes.
    QString StatusSummary() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The parts of the window, built in this order by the constructor.
    void BuildMenus();
    void BuildGrid();
    void BuildStatusBar();
    void BuildPlanDock();
    // N and the noun that goes with it: "1 point", "2 points". ONE and MANY
    // are the window's texts with %1 for N, translated here.
    static QString Count(int64_t n, const char* one, const char* many);
    static QString Points(int64_t n) { return Count(n, QT_TR_NOOP("%1 point"), QT_TR_NOOP("%1 points")); }
    void ShowStatus(const QString& text);
    // Loads NAME with the reader its name (and for text names its content)
    // chooses; a text file whose columns its header does not name asks for
    // them first.
    void OpenFile(const std::string& name);
    void LoadPoints(const std::string& name, const Format& reader, const ReadOptions& options);
    bool SaveCommand();
    // Saving over a file that holds more than the table (a load that
    // stopped early, a LandXML file with surfaces) asks first. False when
    // the user keeps the file.
    bool MayReplaceSource(const std::string& name);
    void SavePoints(const std::string& name, const OptionValues& options = {});
    void SaveFailed(const QString& text);
    // TEXT in the status bar and in a message box, LEAD above it there.
    void ShowFailure(const QString& text, const QString& lead = {});
    void UpdateSummary();
    void FitNumbers(int32_t from, int32_t to);
    void TableChangedAt(int32_t row);  // an undo step's report, kept for Replay
    void Push(QUndoCommand* command);
    void Replay(bool undo);
    void DockStatusBar();
    void BuildRecentFilesMenu();
    void FillRecentFilesMenu();
    void BuildDecimalsMenu();
    // Undo and Redo are enabled only while they have something to do.
    void ConnectEditState();
    void UpdateEditState();
    // The last row that a save would write; -1 when there is none.
    int32_t LastPointRow() const;
    int TwipsAcross(int32_t twips) const;
    int TwipsDown(int32_t twips) const;

    QWidget* client_ = nullptr;
    ElidedLabel* statusPanel_ = nullptr;
    QLabel* fileLabel_ = nullptr;
    QLabel* countLabel_ = nullptr;
    QLabel* partlyLabel_ = nullptr;
    QLabel* modifiedLabel_ = nullptr;
    QString tableFile_;  // the file the table came from or was saved to
    // The file whose load stopped early, and the points it gave: until a
    // save replaces it, it holds points the table does not.
    std::string partlySource_;
    int32_t partlyCount_ = 0;
    // The file last loaded that holds more than points, and what.
    std::string beyondSource_;
    std::string beyondPoints_;
    std::optional<QString> macro_;  // a change of several rows under way
    bool macroOpen_ = false;        // ... whose first row is in the history
    int32_t changedRow_ = -1;       // the row an undo or redo changed last
    // Handed to every undo step, to be told about the row it changed.
    const std::function<void(int32_t row)> tableChanged_ = [this](int32_t row) { TableChangedAt(row); };
};

}  // namespace tessaly
