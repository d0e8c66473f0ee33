#pragma once

#include <QAbstractTableModel>
#include <QTableView>

namespace kr4720::platform {
class SqliteChannelTable;
}

namespace kr4720::main_window {

// The channel table as the grid shows it: one row per record, one column per
// field, Null shown as an empty cell. Only the two frequency columns take
// typed text.
class ChannelGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ChannelGridModel(platform::SqliteChannelTable& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    static QString caption(int column);
    // Column widths in twips.
    static int widthInTwips(int column);

signals:
    // The user finished editing a cell: its text is already in the current
    // record's field.
    void cellEdited(int column);

private:
    platform::SqliteChannelTable& table_;
    int markedRow_ = -1;
};

// DataGrid1: the grid bound to the channel cursor. Its selected row and the
// cursor's current row are always the same one, whoever moves first.
class ChannelGrid : public QTableView {
    Q_OBJECT
public:
    explicit ChannelGrid(platform::SqliteChannelTable& table, QWidget* parent = nullptr);

    ChannelGridModel* channelModel() const { return model_; }
    // Puts text still open in a cell editor into the current record, as
    // leaving the cell would.
    void commitOpenEditor();
    using QTableView::edit;

signals:
    void cellEdited(int column);
    // Moving to another row failed because the row left could not be stored.
    void rowChangeFailed(const QString& reason);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void commitData(QWidget* editor) override;
    // Typing in a cell that takes no typing does nothing: Qt would move the
    // cursor to the next row whose cell starts with the text, and with it the
    // row the pick lists and a typed frequency go into.
    void keyboardSearch(const QString&) override {}
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followCursor(int row);

    platform::SqliteChannelTable& table_;
    ChannelGridModel* model_;
    bool following_ = false;
    bool committing_ = false;
};

} // namespace kr4720::main_window
