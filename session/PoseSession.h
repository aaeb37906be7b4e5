#pragma once

#include "algebra/DualQuaternion.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class QString;
class QUndoCommand;
class QUndoStack;
class KeyPoseList;
class KeyPoseListListener;

// The session's two pose lists: the key positions and the continuously
// captured positions. Every change of them goes through here, on one thread
// (the GUI thread in the program). With an undo stack attached, each edit and
// each captured key position is one step on it, whose undo and redo give back
// the lists bit for bit; continuous capture appends 30 poses a second and
// makes no steps, only its reset does. Used by the window and without one.
class PoseSession : public QObject {
    Q_OBJECT
public:
    explicit PoseSession(QObject *parent = nullptr);
    // Empties the undo stack first: its steps act on the lists that go.
    ~PoseSession() override;

    std::vector<DualQuaternion> keyPositions() const;
    std::vector<DualQuaternion> continuousPositions() const;
    // The sizes of the two lists, without copying them.
    int keyPositionCount() const;
    int continuousPositionCount() const;
    // A copy of continuous pose i; throws std::out_of_range outside the list.
    DualQuaternion continuousPosition(int i) const;

    // "Select position": appends one pose to the key positions.
    void addKeyPosition(const DualQuaternion &pose);
    // "Reset key position capture", "Reset continuous capture": empty one
    // list (an empty list makes no step).
    void clearKeyPositions();
    void clearContinuousPositions();
    // Removes key position index, or moves it to index to (the ones between
    // shift by one). False, changing nothing, for an index outside the list
    // or a move onto itself.
    bool removeKeyPosition(int index);
    bool moveKeyPosition(int from, int to);
    // Replaces all key positions by poses, as one step named text ("Select
    // shown positions", "Import key positions"); no step when they are the
    // same bit for bit.
    void replaceKeyPositions(std::vector<DualQuaternion> poses, const QString &text);
    // The lists a session starts with (a restored journal): not a step.
    void restorePositions(
        std::vector<DualQuaternion> keyPositions, std::vector<DualQuaternion> continuousPositions);

    // What capture stores: a continuous pose (no step), and a key position
    // held still ("Capture key position").
    void appendContinuousPosition(const DualQuaternion &pose);
    void captureKeyPosition(const DualQuaternion &pose);

    // The listeners every change of the two lists is told to from now on
    // (the session journal's), or null. Not owned.
    void setListListeners(KeyPoseListListener *keyPositions, KeyPoseListListener *continuous);
    // The stack the edits become steps on, or null for none. Not owned.
    void setUndoStack(QUndoStack *stack);
    QUndoStack *undoStack() const;

Q_SIGNALS:
    // The key positions changed: an edit, a key position captured, an undo
    // or redo. Emitted at once after each change, so several may come in a
    // row; continuous capture never emits it.
    void keyPositionsChanged();
    // An undo or redo changed a list. The edits themselves are followed by
    // their callers.
    void editReplayed();
    // An undo or redo filled a list that was empty: to be shown as capture
    // shows a list it fills. Emitted after editReplayed().
    void keyPositionsRefilled();
    void continuousPositionsRefilled();

private:
    class KeyPositionTap;

    // Pushes the step (which makes the change) on the undo stack, or makes
    // the change at once without one.
    void perform(QUndoCommand *command);

    std::unique_ptr<KeyPoseList> m_keyPositions;
    std::unique_ptr<KeyPoseList> m_continuous;
    std::unique_ptr<KeyPositionTap> m_keyPositionTap;
    QPointer<QUndoStack> m_undoStack;
};
