#pragma once

#include <functional>

// What the firing of a task asks of the chime: the task's own sound, played
// as the chime plays its own, and whether the chime's minute leaves it out.
class TaskSounds {
public:
    // Plays event sound 1..3 `count` times, waiting the sound's spacing
    // before each start, then runs `done`. The event loop runs meanwhile. A
    // sequence asked for while another plays follows it: none is cut short.
    virtual void PlaySoundTimes(int sound, int count, std::function<void()> done = {}) = 0;
    // A chime is chosen: the firing leaves a task's own sound out in the
    // chime's minute.
    virtual bool chimeChosen() const = 0;

protected:
    ~TaskSounds() = default;
};
