#pragma once
// The dockable panel "Změny": what the last glue decided, grouped by kind with counts, the
// places worth a reader's look first. Choosing an entry, or stepping to the next or previous
// one, asks the window to select its place in the text. The entries are made only as the view
// shows them, so a book's hundred thousand joins cost a few bytes each.
#include <cstdint>
#include <vector>

#include <QAbstractItemModel>
#include <QDockWidget>

#include "editor/TextBlock.h"

class QTreeView;

namespace lepotex {

class GlueRecord;
struct Change;

class ChangesModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit ChangesModel(QObject* parent = nullptr) : QAbstractItemModel(parent) {}

    // The record stays the caller's and must outlive the model's use of it, or be replaced.
    void SetRecord(const GlueRecord* record);
    const Change* ChangeAt(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    using Indexes = std::vector<uint32_t, LargeAllocator<uint32_t>>;
    struct Group {
        QString title;
        Indexes changes;  // indexes into the record's changes, in the text's order
    };
    const GlueRecord* record = nullptr;
    std::vector<Group> groups;
};

class TChangesPanel : public QDockWidget {
    Q_OBJECT
public:
    explicit TChangesPanel(QWidget* parent = nullptr);

    void ShowRecord(const GlueRecord* record);  // nullptr: nothing to show
    // Moves to the next (+1) or previous (-1) entry, from the first or last when none is
    // chosen; false when there is none.
    bool Step(int direction);
    QTreeView* List() const { return list; }
    ChangesModel* Model() const { return model; }

signals:
    void placeChosen(int32_t paraNo, int32_t column, int32_t length);
    void textWanted();  // Enter on an entry, or Esc: back to the text

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Choose(const QModelIndex& index);

    QTreeView* list = nullptr;
    ChangesModel* model = nullptr;
};

}  // namespace lepotex
