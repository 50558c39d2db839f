#pragma once
// Edit, Coordinate System: the points' coordinate reference system, chosen
// from PROJ's database by code or name (or typed as any definition PROJ
// takes), set as it is or with the points transformed to it, as one undo
// step. And the plan's mouse position in latitude and longitude.
#include <QDialog>
#include <QString>
#include <optional>
#include <string>

#include "app/edit_commands.h"
#include "table/point_table.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QTimer;
class QTreeWidget;
class QUndoStack;

namespace tessaly {

class CrsDialog : public QDialog {
    Q_OBJECT
public:
    CrsDialog(const PointTable& table, QWidget* parent);

    // The definition chosen ("EPSG:2263"); "" for none.
    const std::string& Chosen() const { return chosen_; }
    // True when the points are to be transformed from their CRS to it.
    bool Transform() const;

    void accept() override;

private:
    void Search();
    void ShowDetails();
    // The definition the dialog stands at: the selected row's code, else the
    // text typed.
    std::string Typed() const;

    QLineEdit* search_;
    QTreeWidget* list_;
    QLabel* details_;
    QCheckBox* transform_;
    QTimer* searchTimer_;
    std::string chosen_;
    bool none_ = false;
};

// Asks for the CRS and changes the table (pushed onto HISTORY, CHANGED told
// of later undos and redos); returns what the status bar says, or nothing
// when cancelled or failed (a message box said why).
std::optional<QString> ChangeCrs(PointTable& table, QUndoStack& history, const TableChanged& changed, QWidget* parent);

// "40.6413059° N, 74.0172055° W" of plan position E, N in TABLE's CRS; "" when
// the table has none or PROJ cannot move the position.
QString LatLonText(const PointTable& table, double e, double n);

}  // namespace tessaly
