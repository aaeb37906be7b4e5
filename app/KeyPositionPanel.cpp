#include "app/KeyPositionPanel.h"

#include "algebra/Matrix4.h"
#include "algebra/RobotPose.h"
#include "session/PoseSession.h"
#include "view/GLWidget.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

enum Column { numberColumn, xColumn, yColumn, zColumn, angleColumn, axisColumn, columnCount };

// What a row shows of a pose: the translation of toMatrix() in metres, and
// the rotation of the normalised real part as an angle of 0 to 180 degrees
// about a unit axis.
struct PoseRow {
    bool finite = false;
    double position[3] = { 0.0, 0.0, 0.0 };
    double angleDegrees = 0.0;
    double axis[3] = { 0.0, 0.0, 0.0 };
};

PoseRow describe(const DualQuaternion &pose)
{
    PoseRow row;
    const Matrix4 m = pose.toMatrix();
    const Quaternion real = pose.realPart();
    const double norm = std::sqrt(real.squaredNorm());
    for (int i = 0; i < 3; ++i)
        row.position[i] = m(i, 3);
    row.finite = norm > 0.0 && std::isfinite(norm) && std::isfinite(row.position[0])
        && std::isfinite(row.position[1]) && std::isfinite(row.position[2]);
    if (!row.finite)
        return row;
    double r[3];
    rotationVector(real / norm, nullptr, r);
    const double angle = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
    row.angleDegrees = angle * 180.0 / M_PI;
    if (angle > 0.0)
        for (int i = 0; i < 3; ++i)
            row.axis[i] = r[i] / angle;
    return row;
}

// Rounded first, so that a tiny negative value shows no minus sign.
QString number(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return QString::number(std::round(value * scale) / scale + 0.0, 'f', decimals);
}

} // namespace

// The rows, from a copy of the key positions taken at the last refresh; the
// texts are made when the view asks for them.
class KeyPositionPanel::Model : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setPoses(std::vector<DualQuaternion> poses)
    {
        beginResetModel();
        m_poses = std::move(poses);
        endResetModel();
    }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_poses.size());
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : ::columnCount;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= rowCount())
            return QVariant();
        if (role == Qt::TextAlignmentRole)
            return index.column() == axisColumn ? int(Qt::AlignLeft | Qt::AlignVCenter)
                                                : int(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole)
            return QVariant();
        if (index.column() == numberColumn)
            return index.row() + 1;
        const PoseRow row = describe(m_poses[size_t(index.row())]);
        if (!row.finite)
            return QStringLiteral("\u2013");
        switch (index.column()) {
        case xColumn:
        case yColumn:
        case zColumn:
            // Tenths of a millimetre: finer than any hand holds still.
            return number(row.position[index.column() - xColumn], 4);
        case angleColumn:
            return number(row.angleDegrees, 1);
        case axisColumn:
            if (row.angleDegrees == 0.0)
                return QStringLiteral("\u2013");
            return QStringLiteral("(%1, %2, %3)")
                .arg(number(row.axis[0], 3), number(row.axis[1], 3), number(row.axis[2], 3));
        }
        return QVariant();
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        switch (section) {
        case numberColumn:
            return QStringLiteral("#");
        case xColumn:
            return KeyPositionPanel::tr("x (m)");
        case yColumn:
            return KeyPositionPanel::tr("y (m)");
        case zColumn:
            return KeyPositionPanel::tr("z (m)");
        case angleColumn:
            return KeyPositionPanel::tr("Angle (\u00b0)");
        case axisColumn:
            return KeyPositionPanel::tr("Axis");
        }
        return QVariant();
    }

private:
    std::vector<DualQuaternion> m_poses;
};

KeyPositionPanel::KeyPositionPanel(PoseSession *session, GLWidget *view, QWidget *parent)
    : QDockWidget(tr("Key positions"), parent)
    , m_session(session)
    , m_view(view)
    , m_model(new Model(this))
{
    setObjectName(QStringLiteral("keyPositionPanel"));
    auto *contents = new QWidget(this);
    auto *layout = new QVBoxLayout(contents);
    table = new QTableView(contents);
    table->setModel(m_model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    // Rows of one height need no measuring, however many there are.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->horizontalHeader()->setStretchLastSection(true);
    // Widths from the longest usual text, not measured over every row.
    const QFontMetrics metrics = table->fontMetrics();
    const int margin = 2 * metrics.averageCharWidth();
    table->setColumnWidth(numberColumn, metrics.horizontalAdvance(QStringLiteral("0000")) + margin);
    for (int column : { xColumn, yColumn, zColumn })
        table->setColumnWidth(
            column, metrics.horizontalAdvance(QStringLiteral("-00.0000")) + margin);
    table->setColumnWidth(angleColumn, metrics.horizontalAdvance(tr("Angle (\u00b0)")) + margin);
    layout->addWidget(table);

    auto *buttons = new QHBoxLayout();
    deleteButton = new QPushButton(tr("Delete"), contents);
    moveUpButton = new QPushButton(tr("Move up"), contents);
    moveDownButton = new QPushButton(tr("Move down"), contents);
    buttons->addWidget(deleteButton);
    buttons->addWidget(moveUpButton);
    buttons->addWidget(moveDownButton);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    setWidget(contents);

    deleteAction = new QAction(tr("Delete"), this);
    deleteAction->setShortcut(QKeySequence::Delete);
    deleteAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(deleteAction);

    connect(deleteButton, &QPushButton::clicked, this, &KeyPositionPanel::deleteSelected);
    connect(deleteAction, &QAction::triggered, this, &KeyPositionPanel::deleteSelected);
    connect(moveUpButton, &QPushButton::clicked, this, &KeyPositionPanel::moveSelectedUp);
    connect(moveDownButton, &QPushButton::clicked, this, &KeyPositionPanel::moveSelectedDown);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &KeyPositionPanel::selectionChanged);
    connect(m_session, &PoseSession::keyPositionsChanged, this, &KeyPositionPanel::scheduleRefresh);
    refresh();
}

KeyPositionPanel::~KeyPositionPanel() = default;

int KeyPositionPanel::selectedRow() const
{
    const QModelIndexList rows = table->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void KeyPositionPanel::selectRow(int row)
{
    if (row >= 0 && row < m_model->rowCount()) {
        table->selectRow(row);
        table->scrollTo(m_model->index(row, 0));
    } else {
        table->clearSelection();
    }
    selectionChanged();
}

void KeyPositionPanel::scheduleRefresh()
{
    m_stale = true;
    if (isHidden() || m_refreshQueued)
        return;
    m_refreshQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_refreshQueued = false;
            if (m_stale && !isHidden())
                refresh();
        },
        Qt::QueuedConnection);
}

void KeyPositionPanel::refresh()
{
    const int keep = m_wantedRow >= 0 ? m_wantedRow : selectedRow();
    m_wantedRow = -1;
    m_stale = false;
    m_model->setPoses(m_session->keyPositions());
    selectRow(keep);
}

void KeyPositionPanel::selectionChanged()
{
    const int row = selectedRow();
    const int count = m_model->rowCount();
    deleteButton->setEnabled(row >= 0);
    deleteAction->setEnabled(row >= 0);
    moveUpButton->setEnabled(row > 0);
    moveDownButton->setEnabled(row >= 0 && row < count - 1);
    if (!isHidden() && m_view->highlightedKeyPosition() != row)
        m_view->setHighlightedKeyPosition(row);
}

void KeyPositionPanel::deleteSelected()
{
    const int row = selectedRow();
    if (row < 0 || !m_session->removeKeyPosition(row))
        return;
    // The row that took its place, or the new last one.
    m_wantedRow = std::min(row, m_model->rowCount() - 2);
    refresh();
    m_view->update();
}

void KeyPositionPanel::moveSelectedUp() { moveSelected(-1); }

void KeyPositionPanel::moveSelectedDown() { moveSelected(1); }

void KeyPositionPanel::moveSelected(int step)
{
    const int row = selectedRow();
    if (row < 0 || !m_session->moveKeyPosition(row, row + step))
        return;
    m_wantedRow = row + step;
    refresh();
    m_view->update();
}

// The picture views' fixed widths leave no room beside them on a screen 1920
// pixels wide: the panel first opens floating, over the top right of the
// window (above the skeleton view, clear of the 3D view), and a user docks it
// where there is room. Made floating only then, while still hidden, since a
// floating window costs the windowing system something from its creation on.
void KeyPositionPanel::setVisible(bool visible)
{
    if (visible && !m_placed && parentWidget()) {
        m_placed = true;
        setFloating(true);
        const QRect window = parentWidget()->geometry();
        resize(600, 400);
        move(window.right() - width() - 24, window.top() + 48);
    }
    QDockWidget::setVisible(visible);
}

// Opened and closed, whether or not the window is on the screen at the time.
bool KeyPositionPanel::event(QEvent *event)
{
    const bool handled = QDockWidget::event(event);
    if (event->type() == QEvent::ShowToParent) {
        if (m_stale)
            refresh();
        else
            selectionChanged();
    } else if (event->type() == QEvent::HideToParent) {
        // Nothing is selected in a panel nobody sees.
        m_view->setHighlightedKeyPosition(-1);
    }
    return handled;
}
