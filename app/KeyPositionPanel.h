#pragma once

#include <QDockWidget>

class GLWidget;
class PoseSession;
class QAction;
class QPushButton;
class QTableView;

// The "Key positions" dock: the session's key positions as a table (number,
// position in metres, rotation as angle in degrees and unit axis), with
// buttons to delete the selected one and to move it up or down. Edits go
// through the session, so they are journaled and undoable, and the 3D view
// repaints with them. The selected row is highlighted in the 3D view while
// the panel is shown.
//
// The table follows every change of the key positions, but reads them at
// most once per turn of the event loop, and only while the panel is shown:
// continuous capture does not reach it at all.
class KeyPositionPanel : public QDockWidget {
    Q_OBJECT
public:
    KeyPositionPanel(PoseSession *session, GLWidget *view, QWidget *parent = nullptr);
    ~KeyPositionPanel() override;

    // The selected row, -1 for none.
    int selectedRow() const;
    void selectRow(int row);

    QTableView *table;
    QPushButton *deleteButton;
    QPushButton *moveUpButton;
    QPushButton *moveDownButton;
    // The Delete key while the panel has the focus.
    QAction *deleteAction;

    void setVisible(bool visible) override;

public Q_SLOTS:
    void deleteSelected();
    void moveSelectedUp();
    void moveSelectedDown();
    // Reads the key positions now.
    void refresh();

protected:
    bool event(QEvent *event) override;

private:
    class Model;

    void scheduleRefresh();
    void moveSelected(int step);
    void selectionChanged();

    PoseSession *m_session;
    GLWidget *m_view;
    Model *m_model;
    bool m_stale = true;
    bool m_refreshQueued = false;
    bool m_placed = false;
    // The row to select after the next refresh (an edit's own); -1 keeps the
    // selected row where it is.
    int m_wantedRow = -1;
};
