#include "main_window/channel_grid.h"

#include "channel_data/channel_layout.h"
#include "channel_data/data_error.h"
#include "platform/look.h"
#include "platform/sqlite_stores.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QPainter>
#include <QProxyStyle>
#include <QScopedValueRollback>

#include <array>

namespace kr4720::main_window {
namespace {

struct Column {
    const char* caption;
    int widthTwips;
};

// Captions keep the blanks that pad the header.
const std::array<Column, kChannelFieldCount> kColumns = {{
    {"信道号        ", 855},
    {"接收频率 (MHz)    ", 1200},
    {"哑音(Hz)          ", 1020},
    {"数字哑音          ", 1035},
    {"发送频率 (MHz)", 1170},
    {"哑音(Hz)          ", 1035},
    {"数字哑音          ", 1020},
    {"扫描     ", 765},
    {"BCL     ", 720},
    {"拍频      ", 735},
}};

// The columns are narrow for a 12 pt face: give the text the cell's whole
// width rather than the style's focus margins, so 146.00625 shows whole.
class NarrowCellStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_FocusFrameHMargin) {
            return 0;
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

const QString kSelector = QStringLiteral("▶");

// Both headers of the grid have a fixed size: the caption row its height, the
// record selector its width. QHeaderView's own size hint measures every
// caption in a bold face that is never shown, which only costs start-up time.
class FixedHeader : public QHeaderView {
public:
    explicit FixedHeader(Qt::Orientation orientation, QWidget* parent)
        : QHeaderView(orientation, parent) {
        setSectionsClickable(true);
    }
    QSize sizeHint() const override { return minimumSize(); }

protected:
    // The grid's face has no ▶: drawn as text, it would take a fallback face,
    // looked for among all installed fonts at start-up. The selector draws
    // the triangle itself, as large as that face's sign.
    void initStyleOptionForIndex(QStyleOptionHeader* option, int section) const override {
        QHeaderView::initStyleOptionForIndex(option, section);
        if (option->text == kSelector) {
            option->text.clear();
        }
    }
    void paintSection(QPainter* painter, const QRect& rect, int section) const override {
        // QHeaderView leaves the painter clipped to the (empty) caption.
        painter->save();
        QHeaderView::paintSection(painter, rect, section);
        painter->restore();
        if (model()->headerData(section, orientation()) != kSelector) {
            return;
        }
        const qreal side = rect.height() * 0.55;
        const QPointF corner = QRectF(rect).center() - QPointF(side / 2, side / 2);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(palette().buttonText());
        painter->drawPolygon(
            QPolygonF({corner, corner + QPointF(0, side), corner + QPointF(side, side / 2)}));
    }
};

bool isTypedColumn(int column) {
    return column == channel_field::kReceiveFrequency ||
           column == channel_field::kTransmitFrequency;
}

} // namespace

ChannelGridModel::ChannelGridModel(platform::SqliteChannelTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
    connect(&table_, &platform::SqliteChannelTable::valueChanged, this,
            [this](int row, int column) {
                const QModelIndex changed = index(row, column);
                emit dataChanged(changed, changed);
            });
    connect(&table_, &platform::SqliteChannelTable::currentRowChanged, this, [this](int row) {
        const int previous = markedRow_;
        markedRow_ = row;
        for (int marked : {previous, row}) {
            if (marked >= 0 && marked < rowCount()) {
                emit headerDataChanged(Qt::Vertical, marked, marked);
            }
        }
    });
}

QString ChannelGridModel::caption(int column) {
    return QString::fromUtf8(kColumns.at(static_cast<std::size_t>(column)).caption);
}

int ChannelGridModel::widthInTwips(int column) {
    return kColumns.at(static_cast<std::size_t>(column)).widthTwips;
}

int ChannelGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.rowCount();
}

int ChannelGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kChannelFieldCount;
}

QVariant ChannelGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    const FieldValue value = table_.value(index.row(), index.column());
    return value ? QVariant(QString::fromStdString(*value)) : QVariant(QString());
}

QVariant ChannelGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::ToolTipRole && orientation == Qt::Horizontal) {
        return caption(section).trimmed();
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Horizontal) {
        return caption(section);
    }
    // The record selector marks the current row.
    return section == table_.currentRow() ? kSelector : QString();
}

Qt::ItemFlags ChannelGridModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (isTypedColumn(index.column())) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

bool ChannelGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !isTypedColumn(index.column())) {
        return false;
    }
    try {
        table_.moveTo(index.row());
        table_.setField(index.column(), value.toString().toStdString());
    } catch (const DataError&) {
        return false;
    }
    emit cellEdited(index.column());
    return true;
}

ChannelGrid::ChannelGrid(platform::SqliteChannelTable& table, QWidget* parent)
    : QTableView(parent), table_(table), model_(new ChannelGridModel(table, this)) {
    setHorizontalHeader(new FixedHeader(Qt::Horizontal, this));
    setVerticalHeader(new FixedHeader(Qt::Vertical, this));
    setModel(model_);
    auto* style = new NarrowCellStyle;
    style->setParent(this);
    setStyle(style);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    setFont(platform::kaiFont(12));
    horizontalHeader()->setFont(platform::kaiFont(12));
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // One caption line, so that the first data row lies where the pick lists
    // sit (360 twips below the grid's top edge); a caption wider than its
    // column shows whole in its tooltip.
    horizontalHeader()->setFixedHeight(platform::twips(2280 - 1920) - frameWidth());
    horizontalHeader()->setHighlightSections(false);
    // The pick lists lie over their columns: the widths stay as laid out.
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(platform::twips(330));
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    // The record selector column is as wide as the one the pick list
    // positions were laid out for (Combo1 starts right over column 2).
    verticalHeader()->setFixedWidth(platform::twips(3240 - 840 - 855 - 1200) - frameWidth());
    verticalHeader()->setHighlightSections(false);
    for (int column = 0; column < kChannelFieldCount; ++column) {
        setColumnWidth(column, platform::twips(ChannelGridModel::widthInTwips(column)));
    }
    connect(model_, &ChannelGridModel::cellEdited, this, &ChannelGrid::cellEdited);
    connect(&table_, &platform::SqliteChannelTable::currentRowChanged, this,
            &ChannelGrid::followCursor);
}

void ChannelGrid::followCursor(int row) {
    if (following_) {
        return;
    }
    // Not under an editor whose text is being taken: its check may show a
    // message, during which a write goes on and may move the cursor. Moving
    // the selection then would close the editor beneath the check.
    if (committing_) {
        QMetaObject::invokeMethod(
            this, [this] { followCursor(table_.currentRow()); }, Qt::QueuedConnection);
        return;
    }
    following_ = true;
    if (row >= 0 && row < model_->rowCount()) {
        const int column = currentIndex().isValid() ? currentIndex().column() : 0;
        selectionModel()->setCurrentIndex(model_->index(row, column),
                                          QItemSelectionModel::ClearAndSelect |
                                              QItemSelectionModel::Rows);
        scrollTo(model_->index(row, column));
    } else {
        // Past the last row there is no current record and nothing is selected.
        selectionModel()->clear();
    }
    following_ = false;
    // Leaving a cell still being typed in stores its text into that row,
    // which moves the cursor back there: the grid goes where edits go.
    if (table_.currentRow() != row) {
        followCursor(table_.currentRow());
    }
}

void ChannelGrid::commitOpenEditor() {
    if (state() != QAbstractItemView::EditingState) {
        return;
    }
    if (QWidget* editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

bool ChannelGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (!QTableView::edit(index, trigger, event)) {
        // A click on the current cell opens it only after the double-click
        // time, and Qt drops the keys typed meanwhile: a key opens it at once.
        if (trigger != AnyKeyPressed || !edit(index, DoubleClicked, nullptr)) {
            return false;
        }
        if (QWidget* editor = indexWidget(index)) {
            QCoreApplication::sendEvent(editor->focusProxy() ? editor->focusProxy() : editor,
                                        event);
        }
        return true;
    }
    if (QWidget* editor = indexWidget(index)) {
        editor->installEventFilter(this);
    }
    return true;
}

// Alt takes the focus to the menu bar, which gives it back when its menus
// close. Closing the cell's editor there, as Qt does on losing the focus,
// would leave the focus with the menu bar and typing would reach nothing; a
// command picked from the menu takes the open text as a mouse click would.
bool ChannelGrid::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() == Qt::MenuBarFocusReason &&
        watched != viewport()) {
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

void ChannelGrid::commitData(QWidget* editor) {
    const QScopedValueRollback<bool> committing(committing_, true);
    QTableView::commitData(editor);
}

void ChannelGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (following_ || !current.isValid() || current.row() == table_.currentRow()) {
        return;
    }
    try {
        table_.moveTo(current.row());
    } catch (const DataError& error) {
        // A click selects its row after this returns: go back once it has,
        // then say why (a message box here would run before the click ends).
        QMetaObject::invokeMethod(
            this,
            [this, reason = QString::fromStdString(error.what())] {
                followCursor(table_.currentRow());
                emit rowChangeFailed(reason);
            },
            Qt::QueuedConnection);
    }
}

} // namespace kr4720::main_window
