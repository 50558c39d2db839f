#include "qt/unbound_grid.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QProxyStyle>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>
#include <vector>

namespace tessaly {

namespace {
// Dark grey lines between the rows and the columns.
class GridLineStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override
    {
        if (hint == QStyle::SH_Table_GridLineColor) return static_cast<int>(QColor(Qt::darkGray).rgba());
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};
}  // namespace

// Keeps track of the editor so that the grid can read its text and hear its
// key releases. The editor holds at most kEditorChars characters: a longer
// cell opens read-only, showing its start and saying so, and closing it
// stores nothing, so that an edit can never cut the text it did not show.
// (Del empties such a cell; a paste replaces it.)
class UnboundGrid::Delegate : public QStyledItemDelegate {
public:
    explicit Delegate(UnboundGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* w = QStyledItemDelegate::createEditor(parent, option, index);
        if (w) w->installEventFilter(grid_);
        // A line edit takes 32767 characters unless told otherwise, and
        // would drop the rest of a longer cell without a word.
        if (auto* line = qobject_cast<QLineEdit*>(w)) line->setMaxLength(UnboundGridModel::kEditorChars);
        editor = w;
        return w;
    }

    void setEditorData(QWidget* w, const QModelIndex& index) const override
    {
        auto* line = qobject_cast<QLineEdit*>(w);
        if (!line) return QStyledItemDelegate::setEditorData(w, index);
        bool cut = false;
        const QString text =
            grid_->Model()->BoundedText(index.row(), index.column(), UnboundGridModel::kEditorChars, &cut);
        if (cut) {
            line->setMaxLength(static_cast<int>(text.size()));
            line->setReadOnly(true);
            line->setToolTip(
                QCoreApplication::translate("tessaly::UnboundGrid", "Too long to edit here: Del empties the cell"));
        }
        line->setText(text);
    }

    void setModelData(QWidget* w, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        if (auto* line = qobject_cast<QLineEdit*>(w); line && line->isReadOnly()) return;
        QStyledItemDelegate::setModelData(w, model, index);
    }

    // True while the open editor shows only the start of a cell.
    bool ReadOnly() const
    {
        auto* line = qobject_cast<QLineEdit*>(editor.data());
        return line && line->isReadOnly();
    }

    mutable QPointer<QWidget> editor;

private:
    UnboundGrid* grid_;
};

UnboundGrid::UnboundGrid(QWidget* parent)
    : QTableView(parent), model_(new UnboundGridModel(this)), delegate_(new Delegate(this))
{
    setModel(model_);
    setItemDelegate(delegate_);
    connect(model_, &UnboundGridModel::CallbackFailed, this, &UnboundGrid::CallbackFailed);

    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // A click on the current cell opens its editor at once (see
    // mouseReleaseEvent): the view's own delayed opening would let the
    // first keys typed meanwhile go elsewhere.
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                    QAbstractItemView::EditKeyPressed);
    setTextElideMode(Qt::ElideNone);
    setTabKeyNavigation(false);  // Tab moves on to the next control
    setWordWrap(false);
    setShowGrid(true);
    setGridStyle(Qt::SolidLine);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    setPalette(pal);
    auto* lines = new GridLineStyle;
    lines->setParent(this);
    setStyle(lines);

    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int logical, int, int newSize) {
        if (fillingColumn_) return;
        if (logical == fillColumn_) fillBase_ = newSize;
        FitFillColumn();
    });

    // The row selector: a narrow column of markers; a click selects the row.
    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Interactive);
    rows->setHighlightSections(false);
    // Row sizing applies to every row at once.
    connect(rows, &QHeaderView::sectionResized, this, [this](int, int, int newSize) {
        if (sizingRows_) return;
        sizingRows_ = true;
        verticalHeader()->setDefaultSectionSize(newSize);
        sizingRows_ = false;
        UpdatePageSize();
    });
    FitRowsToFont();
}

void UnboundGrid::FitRowsToFont()
{
    // One text line a row and in the header, whatever the style would make.
    const int line = fontMetrics().height();
    sizingRows_ = true;
    verticalHeader()->setMinimumSectionSize(std::min(verticalHeader()->minimumSectionSize(), line));
    verticalHeader()->setDefaultSectionSize(line + 4);
    sizingRows_ = false;
    verticalHeader()->setFixedWidth(line + 6);
    UpdatePageSize();
}

void UnboundGrid::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) FitRowsToFont();
}

void UnboundGrid::SetCallbacks(UnboundCallbacks callbacks) { model_->SetCallbacks(std::move(callbacks)); }

void UnboundGrid::Refresh()
{
    const int col = std::max(0, Col());
    model_->Refresh();
    if (model_->rowCount() > 0 && model_->columnCount() > 0)
        setCurrentIndex(model_->index(0, std::min(col, model_->columnCount() - 1)));
    scrollToTop();
}

void UnboundGrid::Update()
{
    if (Editing() && delegate_->editor) {
        QWidget* editor = delegate_->editor;
        commitData(editor);
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    model_->CommitPendingRow();
}

QString UnboundGrid::Text() const
{
    if (Editing() && !delegate_->ReadOnly())
        if (auto* line = qobject_cast<QLineEdit*>(delegate_->editor.data())) return line->text();
    const QModelIndex i = currentIndex();
    return i.isValid() ? model_->FullText(i.row(), i.column()) : QString();
}

void UnboundGrid::keyPressEvent(QKeyEvent* event)
{
    if (!Editing()) {
        if (event->matches(QKeySequence::Copy)) {
            Copy();
            event->accept();
            return;
        }
        if (event->matches(QKeySequence::Paste)) {
            Paste();
            event->accept();
            return;
        }
    }
    if (!Editing() && event->key() == Qt::Key_End && event->modifiers() == Qt::ControlModifier && lastFilled_) {
        const int last = lastFilled_();
        if (last >= 0 && last < model_->rowCount() && last != Row()) {
            int col = model_->columnCount() - 1;
            while (col > 0 && isColumnHidden(col)) --col;
            // The Ctrl key held would add the cell to the selection.
            const QModelIndex to = model_->index(last, col);
            selectionModel()->setCurrentIndex(to, QItemSelectionModel::ClearAndSelect);
            scrollTo(to);
            event->accept();
            return;
        }
    }
    if (!Editing() && event->modifiers() == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Delete:
            if (!DeleteSelectedRows()) ClearSelectedCells();
            event->accept();
            return;
        case Qt::Key_Backspace:
            ClearSelectedCells();
            event->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            MoveDown();
            event->accept();
            return;
        case Qt::Key_Escape:
            if (model_->HasPendingRow()) {
                model_->CancelPendingRow();
                event->accept();
                return;
            }
            break;
        default:
            break;
        }
    }
    QTableView::keyPressEvent(event);
}

void UnboundGrid::keyboardSearch(const QString&)
{
    // No jumping to a row by its first letters: every printable key goes to
    // the current cell.
}

void UnboundGrid::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex at = indexAt(event->position().toPoint());
    clickedCurrent_ = QPersistentModelIndex();
    if (event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier && at.isValid() &&
        at == currentIndex() && selectionModel()->isSelected(at) && !Editing())
        clickedCurrent_ = at;
    QTableView::mousePressEvent(event);
}

void UnboundGrid::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    const QModelIndex at = indexAt(event->position().toPoint());
    if (clickedCurrent_.isValid() && at == clickedCurrent_ && at == currentIndex() && !Editing()) {
        clicking_ = true;
        edit(at, QAbstractItemView::EditKeyPressed, nullptr);
        clicking_ = false;
    }
    clickedCurrent_ = QPersistentModelIndex();
}

bool UnboundGrid::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        // A marked cell says why; a cell too narrow for its text shows it
        // (its start, for a long one, wrapped to the screen).
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex at = indexAt(help->pos());
        QString tip;
        if (at.isValid()) {
            tip = model_->data(at, Qt::ToolTipRole).toString();
            const QString shown = model_->data(at, Qt::DisplayRole).toString();
            // A cut or rounded cell shows its whole text too.
            if (tip.isEmpty() && (fontMetrics().horizontalAdvance(shown) + 8 > visualRect(at).width() ||
                                  shown != model_->TextStart(at.row(), at.column(), UnboundGridModel::kShownChars)))
                tip = model_->BoundedText(at.row(), at.column(), UnboundGridModel::kTipChars);
            if (tip.size() > UnboundGridModel::kShownChars)
                tip = QStringLiteral("<p style=\"white-space:pre-wrap\">%1</p>").arg(tip.toHtmlEscaped());
        }
        if (tip.isEmpty()) QToolTip::hideText();
        else QToolTip::showText(help->globalPos(), tip, viewport(), visualRect(at));
        return true;
    }
    return QTableView::viewportEvent(event);
}

void UnboundGrid::FitColumnTo(int position, const QString& text)
{
    // The cell draws no more than its start; measuring a text of megabytes
    // would take as long as drawing it.
    const int needed = fontMetrics().horizontalAdvance(text.left(UnboundGridModel::kShownChars + 1)) + 10;
    if (needed > columnWidth(position)) setColumnWidth(position, needed);
}

void UnboundGrid::SetColumnWidth(int position, int pixels)
{
    if (position == fillColumn_) fillBase_ = pixels;
    setColumnWidth(position, pixels);
    FitFillColumn();
}

void UnboundGrid::SetFillColumn(int position)
{
    fillColumn_ = position;
    if (position >= 0 && position < ColumnCount()) fillBase_ = columnWidth(position);
    FitFillColumn();
}

void UnboundGrid::FitFillColumn()
{
    if (fillColumn_ < 0 || fillColumn_ >= ColumnCount() || isColumnHidden(fillColumn_)) return;
    int others = 0;
    for (int c = 0; c < ColumnCount(); ++c)
        if (c != fillColumn_ && !isColumnHidden(c)) others += columnWidth(c);
    const int width = std::max(fillBase_, viewport()->width() - others);
    if (width == columnWidth(fillColumn_)) return;
    fillingColumn_ = true;
    setColumnWidth(fillColumn_, width);
    fillingColumn_ = false;
}

void UnboundGrid::Reread()
{
    const int row = Row(), col = Col();
    const int top = verticalScrollBar() ? verticalScrollBar()->value() : 0;
    model_->Refresh();
    if (model_->rowCount() > 0 && model_->columnCount() > 0)
        setCurrentIndex(model_->index(std::clamp(row, 0, model_->rowCount() - 1),
                                      std::clamp(col, 0, model_->columnCount() - 1)));
    if (verticalScrollBar()) verticalScrollBar()->setValue(top);
}

void UnboundGrid::MoveDown() { GoTo(std::min(Row() + 1, model_->rowCount() - 1), std::max(0, Col())); }

void UnboundGrid::GoTo(int row, int col)
{
    if (row < 0 || row >= model_->rowCount() || col < 0 || col >= model_->columnCount()) return;
    const QModelIndex i = model_->index(row, col);
    setCurrentIndex(i);
    scrollTo(i);
}

void UnboundGrid::keyReleaseEvent(QKeyEvent* event)
{
    emit KeyUp(event->key(), event->modifiers());
    QTableView::keyReleaseEvent(event);
}

bool UnboundGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == delegate_->editor && event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        emit KeyUp(key->key(), key->modifiers());
    }
    // An editor opened by typing over the cell keeps the arrows of the grid:
    // Left and Right store the cell and move on, as in a spreadsheet.
    if (watched == delegate_->editor && typedOver_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Left || key->key() == Qt::Key_Right) && key->modifiers() == Qt::NoModifier) {
            const int row = Row(), col = Col() + (key->key() == Qt::Key_Right ? 1 : -1);
            QWidget* editor = delegate_->editor;
            commitData(editor);
            QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
            GoTo(row, std::clamp(col, 0, model_->columnCount() - 1));
            return true;
        }
    }
    return QTableView::eventFilter(watched, event);
}

bool UnboundGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // Edits of one row go back together, before another row is edited.
    if (index.isValid() && model_->HasPendingRow() && index.row() != model_->PendingRow() && !Editing())
        model_->CommitPendingRow();
    const bool wasEditing = Editing();
    const bool opened = QTableView::edit(index, trigger, event);
    if (opened && !wasEditing && Editing()) {
        typedOver_ = trigger == QAbstractItemView::AnyKeyPressed || clicking_;
        // F2 and a double click edit the text as it stands, the cursor at
        // its end; typing over and a click on the current cell replace it.
        if (!typedOver_)
            if (auto* line = qobject_cast<QLineEdit*>(delegate_->editor.data())) line->end(false);
    }
    return opened;
}

void UnboundGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Enter in the editor commits the cell and moves down.
    if (hint == QAbstractItemDelegate::SubmitModelCache) {
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
        MoveDown();
        return;
    }
    // Tab in the editor keeps the text and leaves the grid, as Tab does
    // outside it.
    if (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem) {
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
        focusNextPrevChild(hint == QAbstractItemDelegate::EditNextItem);
        return;
    }
    QTableView::closeEditor(editor, hint);
}

void UnboundGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // The base class hands an open editor's text to the model first.
    QTableView::currentChanged(current, previous);
    if (model_->HasPendingRow() && current.row() != model_->PendingRow()) model_->CommitPendingRow();
    model_->SetCurrentRow(current.row());
}

void UnboundGrid::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    UpdatePageSize();
    FitFillColumn();
}

void UnboundGrid::UpdatePageSize()
{
    const int rowHeight = std::max(1, verticalHeader()->defaultSectionSize());
    model_->SetPageSize(viewport()->height() / rowHeight + 2);
}

}  // namespace tessaly
