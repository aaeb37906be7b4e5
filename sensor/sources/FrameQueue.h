#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

namespace camera {

// The frames a source holds until they are taken, oldest first, by index:
// indices count from 0 at restart() and go on across what is dropped.
// Not thread safe: the source guards it with its own lock.
template <typename Frame>
class FrameQueue {
public:
    void restart()
    {
        m_frames.clear();
        m_firstIndex = 0;
    }
    // Drops every waiting frame; the indices go on.
    void dropAll()
    {
        m_firstIndex += std::int64_t(m_frames.size());
        m_frames.clear();
    }
    // Adds frame after dropping the oldest when capacity frames wait; false
    // when one was dropped.
    bool push(Frame frame, std::size_t capacity)
    {
        const bool room = m_frames.size() < capacity;
        if (!room)
            dropOldest();
        m_frames.push_back(std::move(frame));
        return room;
    }
    // The oldest waiting frame's index, the one to take next (the sources
    // hand out every frame in order); one less when none waits.
    std::int64_t nextIndex() const
    {
        return m_frames.empty() ? m_firstIndex - 1 : m_firstIndex;
    }
    // Drops the frames before index; the frame at index, or nullptr when it
    // is not waiting. take() removes it.
    const Frame *find(std::int64_t index)
    {
        while (!m_frames.empty() && m_firstIndex < index)
            dropOldest();
        return m_frames.empty() || m_firstIndex != index ? nullptr : &m_frames.front();
    }
    void take() { dropOldest(); }
    std::size_t size() const { return m_frames.size(); }

private:
    void dropOldest()
    {
        m_frames.pop_front();
        ++m_firstIndex;
    }

    std::deque<Frame> m_frames;
    std::int64_t m_firstIndex = 0;
};

} // namespace camera
