#include "session/PoseSession.h"

#include "algebra/KeyPoseList.h"
#include "algebra/KeyPoseListListener.h"

#include <QUndoCommand>
#include <QUndoStack>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

bool sameBits(const std::vector<DualQuaternion> &a, const std::vector<DualQuaternion> &b)
{
    return a.size() == b.size()
        && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(DualQuaternion)) == 0);
}

// An empty vector becomes clear(), so that the list's listeners see a reset
// as one.
void setList(KeyPoseList &list, std::vector<DualQuaternion> poses)
{
    if (poses.empty())
        list.clear();
    else
        list.setPoses(std::move(poses));
}

// One undoable change of a pose list. The first redo() is the change itself
// (made by push()); a list that an undo or a later redo fills from empty is
// announced as refilled. Undo runs only on
// the state the change left, and redo on the state before it: the stack
// keeps that order, and every other change of a key list is a step too. The
// continuous list also grows by capture between steps; its one step, the
// reset, allows for that.
class ListChange : public QUndoCommand {
public:
    ListChange(PoseSession &session, const QString &text, KeyPoseList &list, bool continuous)
        : QUndoCommand(text)
        , m_list(list)
        , m_session(session)
        , m_continuous(continuous)
    {
    }

    void redo() final
    {
        const bool wasEmpty = m_list.size() == 0;
        apply();
        if (!std::exchange(m_first, false))
            replayed(wasEmpty);
    }
    void undo() final
    {
        const bool wasEmpty = m_list.size() == 0;
        revert();
        replayed(wasEmpty);
    }

protected:
    virtual void apply() = 0;
    virtual void revert() = 0;
    KeyPoseList &m_list;

private:
    void replayed(bool wasEmpty)
    {
        Q_EMIT m_session.editReplayed();
        if (!wasEmpty || m_list.size() == 0)
            return;
        if (m_continuous)
            Q_EMIT m_session.continuousPositionsRefilled();
        else
            Q_EMIT m_session.keyPositionsRefilled();
    }

    PoseSession &m_session;
    bool m_continuous;
    bool m_first = true;
};

class AppendPose : public ListChange {
public:
    AppendPose(
        PoseSession &session, const QString &text, KeyPoseList &list, const DualQuaternion &pose)
        : ListChange(session, text, list, false)
        , m_pose(pose)
    {
    }

private:
    void apply() override { m_list.append(m_pose); }
    void revert() override { m_list.removeAt(m_list.size() - 1); }
    DualQuaternion m_pose;
};

class RemovePose : public ListChange {
public:
    RemovePose(PoseSession &session, const QString &text, KeyPoseList &list, int index)
        : ListChange(session, text, list, false)
        , m_index(index)
        , m_pose(list.at(index))
    {
    }

private:
    void apply() override { m_list.removeAt(m_index); }
    void revert() override
    {
        m_list.append(m_pose);
        const int last = m_list.size() - 1;
        if (m_index != last)
            m_list.move(last, m_index);
    }
    int m_index;
    DualQuaternion m_pose;
};

class MovePose : public ListChange {
public:
    MovePose(PoseSession &session, const QString &text, KeyPoseList &list, int from, int to)
        : ListChange(session, text, list, false)
        , m_from(from)
        , m_to(to)
    {
    }

private:
    void apply() override { m_list.move(m_from, m_to); }
    void revert() override { m_list.move(m_to, m_from); }
    int m_from;
    int m_to;
};

// Holds both lists: the key positions are a few dozen poses.
class ReplacePoses : public ListChange {
public:
    ReplacePoses(PoseSession &session, const QString &text, KeyPoseList &list,
        std::vector<DualQuaternion> after)
        : ListChange(session, text, list, false)
        , m_before(list.poses())
        , m_after(std::move(after))
    {
    }

private:
    void apply() override { setList(m_list, m_after); }
    void revert() override { setList(m_list, m_before); }
    std::vector<DualQuaternion> m_before;
    std::vector<DualQuaternion> m_after;
};

// The reset of the continuous poses holds the one copy of the poses it
// removed. Capture may append after it: an undo puts the removed poses back
// in front of those, and a redo removes them from the front again, so no
// captured pose is lost either way.
class ResetContinuous : public ListChange {
public:
    ResetContinuous(PoseSession &session, const QString &text, KeyPoseList &list)
        : ListChange(session, text, list, true)
        , m_removed(list.poses())
    {
    }

private:
    void apply() override
    {
        std::vector<DualQuaternion> poses = m_list.poses();
        poses.erase(poses.begin(),
            poses.begin() + std::ptrdiff_t(std::min(poses.size(), m_removed.size())));
        setList(m_list, std::move(poses));
    }
    void revert() override
    {
        std::vector<DualQuaternion> poses = m_removed;
        const std::vector<DualQuaternion> since = m_list.poses();
        poses.insert(poses.end(), since.begin(), since.end());
        setList(m_list, std::move(poses));
    }
    std::vector<DualQuaternion> m_removed;
};

} // namespace

// The key positions' one listener: hands every change on to the listener set
// with setListListeners() and tells whoever follows the key positions.
class PoseSession::KeyPositionTap : public KeyPoseListListener {
public:
    explicit KeyPositionTap(PoseSession &session)
        : m_session(session)
    {
    }
    KeyPoseListListener *next = nullptr;

    void poseAppended(const KeyPoseList &list, const DualQuaternion &pose) override
    {
        if (next)
            next->poseAppended(list, pose);
        changed();
    }
    void posesReplaced(const KeyPoseList &list, const std::vector<DualQuaternion> &poses) override
    {
        if (next)
            next->posesReplaced(list, poses);
        changed();
    }
    void posesCleared(const KeyPoseList &list) override
    {
        if (next)
            next->posesCleared(list);
        changed();
    }
    void poseRemoved(const KeyPoseList &list, int index) override
    {
        if (next)
            next->poseRemoved(list, index);
        changed();
    }
    void poseMoved(const KeyPoseList &list, int from, int to) override
    {
        if (next)
            next->poseMoved(list, from, to);
        changed();
    }

private:
    void changed() { Q_EMIT m_session.keyPositionsChanged(); }
    PoseSession &m_session;
};

PoseSession::PoseSession(QObject *parent)
    : QObject(parent)
    , m_keyPositions(std::make_unique<KeyPoseList>())
    , m_continuous(std::make_unique<KeyPoseList>())
    , m_keyPositionTap(std::make_unique<KeyPositionTap>(*this))
{
    m_keyPositions->setListener(m_keyPositionTap.get());
}

PoseSession::~PoseSession()
{
    if (m_undoStack)
        m_undoStack->clear();
}

std::vector<DualQuaternion> PoseSession::keyPositions() const { return m_keyPositions->poses(); }

std::vector<DualQuaternion> PoseSession::continuousPositions() const
{
    return m_continuous->poses();
}

int PoseSession::keyPositionCount() const { return m_keyPositions->size(); }

int PoseSession::continuousPositionCount() const { return m_continuous->size(); }

DualQuaternion PoseSession::continuousPosition(int i) const { return m_continuous->at(i); }

void PoseSession::perform(QUndoCommand *command)
{
    if (m_undoStack) {
        m_undoStack->push(command);
    } else {
        command->redo();
        delete command;
    }
}

void PoseSession::addKeyPosition(const DualQuaternion &pose)
{
    perform(new AppendPose(*this, tr("Select position"), *m_keyPositions, pose));
}

void PoseSession::clearKeyPositions()
{
    if (m_keyPositions->size() > 0)
        perform(new ReplacePoses(*this, tr("Reset key position capture"), *m_keyPositions, {}));
}

void PoseSession::clearContinuousPositions()
{
    if (m_continuous->size() > 0)
        perform(new ResetContinuous(*this, tr("Reset continuous capture"), *m_continuous));
}

bool PoseSession::removeKeyPosition(int index)
{
    if (index < 0 || index >= m_keyPositions->size())
        return false;
    perform(new RemovePose(*this, tr("Delete key position"), *m_keyPositions, index));
    return true;
}

bool PoseSession::moveKeyPosition(int from, int to)
{
    const int size = m_keyPositions->size();
    if (from < 0 || from >= size || to < 0 || to >= size || from == to)
        return false;
    perform(
        new MovePose(*this, to < from ? tr("Move key position up") : tr("Move key position down"),
            *m_keyPositions, from, to));
    return true;
}

void PoseSession::replaceKeyPositions(std::vector<DualQuaternion> poses, const QString &text)
{
    if (!sameBits(poses, m_keyPositions->poses()))
        perform(new ReplacePoses(*this, text, *m_keyPositions, std::move(poses)));
}

void PoseSession::restorePositions(
    std::vector<DualQuaternion> keyPositions, std::vector<DualQuaternion> continuousPositions)
{
    m_keyPositions->setPoses(std::move(keyPositions));
    m_continuous->setPoses(std::move(continuousPositions));
}

void PoseSession::appendContinuousPosition(const DualQuaternion &pose)
{
    m_continuous->append(pose);
}

void PoseSession::captureKeyPosition(const DualQuaternion &pose)
{
    perform(new AppendPose(*this, tr("Capture key position"), *m_keyPositions, pose));
}

void PoseSession::setListListeners(
    KeyPoseListListener *keyPositions, KeyPoseListListener *continuous)
{
    m_keyPositionTap->next = keyPositions;
    m_continuous->setListener(continuous);
}

void PoseSession::setUndoStack(QUndoStack *stack) { m_undoStack = stack; }

QUndoStack *PoseSession::undoStack() const { return m_undoStack; }
