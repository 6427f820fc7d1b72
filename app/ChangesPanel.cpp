#include "app/ChangesPanel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTreeView>

#include "editor/Windows1250.h"
#include "engine/GlueRecord.h"

namespace lepotex {
namespace {

// Group rows carry no parent; an entry's internal id is its group's number plus one.
constexpr quintptr kGroupRow = 0;

// The kinds in the order a reader checks them: what could have changed the words first.
constexpr ChangeKind kGroupOrder[] = {ChangeKind::Rule,          ChangeKind::HyphenKept,   ChangeKind::PageLine,
                                      ChangeKind::HyphenRemoved, ChangeKind::LetterMended, ChangeKind::Speech,
                                      ChangeKind::ParagraphKept, ChangeKind::LineGlued};

QString Shown(std::string_view windows1250)
{
    QString text = QString::fromStdU16String(DecodeWindows1250(windows1250));
    text.replace(QLatin1Char('\n'), QStringLiteral(" ¶ "));
    constexpr int kLongest = 60;
    if (text.size() > kLongest)
        text = text.left(kLongest) + QStringLiteral("…");
    return text;
}

}  // namespace

void ChangesModel::SetRecord(const GlueRecord* newRecord)
{
    beginResetModel();
    record = newRecord;
    groups.clear();
    if (record) {
        // Counted first: a book's record fills the groups with a million entries, which grown
        // step by step would be copied over and over into fresh pages.
        std::array<std::size_t, kChangeKindCount> counts{};
        std::size_t doubtfulCount = 0;
        for (const Change& change : record->changes) {
            ++counts[std::size_t(change.kind)];
            doubtfulCount += change.doubtful ? 1 : 0;
        }
        Group doubtful{QStringLiteral("K prověření"), {}};
        doubtful.changes.reserve(doubtfulCount);
        std::array<Indexes, kChangeKindCount> byKind;
        for (std::size_t kind = 0; kind < kChangeKindCount; ++kind)
            byKind[kind].reserve(counts[kind]);
        for (std::size_t i = 0; i < record->changes.size(); ++i) {
            const Change& change = record->changes[i];
            if (change.doubtful)
                doubtful.changes.push_back(uint32_t(i));
            byKind[std::size_t(change.kind)].push_back(uint32_t(i));
        }
        if (!doubtful.changes.empty())
            groups.push_back(std::move(doubtful));
        for (const ChangeKind kind : kGroupOrder)
            if (!byKind[std::size_t(kind)].empty())
                groups.push_back({QString::fromUtf8(ChangeKindCaption(kind)), std::move(byKind[std::size_t(kind)])});
        for (Group& group : groups)
            group.title += QStringLiteral(" (%1)").arg(group.changes.size());
    }
    endResetModel();
}

const Change* ChangesModel::ChangeAt(const QModelIndex& index) const
{
    if (!record || !index.isValid() || index.internalId() == kGroupRow)
        return nullptr;
    const Group& group = groups[std::size_t(index.internalId() - 1)];
    return &record->changes[group.changes[std::size_t(index.row())]];
}

QModelIndex ChangesModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return std::size_t(row) < groups.size() ? createIndex(row, 0, kGroupRow) : QModelIndex();
    if (parent.internalId() != kGroupRow || std::size_t(row) >= groups[std::size_t(parent.row())].changes.size())
        return {};
    return createIndex(row, 0, quintptr(parent.row()) + 1);
}

QModelIndex ChangesModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == kGroupRow)
        return {};
    return createIndex(int(child.internalId() - 1), 0, kGroupRow);
}

int ChangesModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return int(groups.size());
    if (parent.internalId() != kGroupRow)
        return 0;
    return int(groups[std::size_t(parent.row())].changes.size());
}

int ChangesModel::columnCount(const QModelIndex&) const { return 1; }

QVariant ChangesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const Change* change = ChangeAt(index);
    if (!change)
        return groups[std::size_t(index.row())].title;
    QString text = QStringLiteral("%1:%2  „%3“").arg(change->paraNo).arg(change->column).arg(Shown(record->OldText(*change)));
    if (change->kind != ChangeKind::ParagraphKept)
        text += QStringLiteral(" → „%1“").arg(Shown(record->NewText(*change)));
    if (change->reason != BreakReason::None)
        text += QStringLiteral(" (%1)").arg(QString::fromUtf8(BreakReasonCaption(change->reason)));
    if (role == Qt::ToolTipRole)
        text.prepend(QString::fromUtf8(ChangeKindCaption(change->kind)) + QStringLiteral(", odstavec:sloupec "));
    return text;
}

TChangesPanel::TChangesPanel(QWidget* parent) : QDockWidget(QStringLiteral("Změny"), parent)
{
    setObjectName(QStringLiteral("pnlZmeny"));
    list = new QTreeView(this);
    model = new ChangesModel(this);
    list->setModel(model);
    list->setHeaderHidden(true);
    list->setUniformRowHeights(true);  // a group of a hundred thousand rows is laid out by arithmetic
    list->setAccessibleName(QStringLiteral("Změny"));
    list->header()->setStretchLastSection(true);
    setWidget(list);
    connect(list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { Choose(current); });
    connect(list, &QTreeView::activated, this, [this] { emit textWanted(); });
}

void TChangesPanel::ShowRecord(const GlueRecord* record)
{
    model->SetRecord(record);
    if (model->rowCount() > 0)
        list->expand(model->index(0, 0));
}

bool TChangesPanel::Step(int direction)
{
    const int groups = model->rowCount();
    if (groups == 0)
        return false;
    QModelIndex current = list->currentIndex();
    int group = 0;
    int row = 0;
    if (!current.isValid()) {
        group = direction > 0 ? 0 : groups - 1;
        row = direction > 0 ? 0 : model->rowCount(model->index(group, 0)) - 1;
    } else if (!model->ChangeAt(current)) {  // on a group: its first entry, or the one above
        group = current.row();
        row = direction > 0 ? 0 : -1;
        if (row < 0 && --group >= 0)
            row = model->rowCount(model->index(group, 0)) - 1;
    } else {
        group = current.parent().row();
        row = current.row() + direction;
        if (row >= model->rowCount(current.parent()) && ++group < groups)
            row = 0;
        else if (row < 0 && --group >= 0)
            row = model->rowCount(model->index(group, 0)) - 1;
    }
    if (group < 0 || group >= groups || row < 0)
        return false;
    const QModelIndex groupIndex = model->index(group, 0);
    const QModelIndex next = model->index(row, 0, groupIndex);
    if (!next.isValid())
        return false;
    list->expand(groupIndex);
    list->setCurrentIndex(next);
    list->scrollTo(next);
    return true;
}

void TChangesPanel::Choose(const QModelIndex& index)
{
    if (const Change* change = model->ChangeAt(index))
        emit placeChosen(change->paraNo, change->column, change->length);
}

void TChangesPanel::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        hide();
        emit textWanted();
        return;
    }
    QDockWidget::keyPressEvent(event);
}

}  // namespace lepotex
