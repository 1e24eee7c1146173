#pragma once

// What a task does when it fires, as its "Action" key stores it and the
// editor's action group orders it. A stored number outside these does
// nothing but sound.
enum class TaskAction : int {
    ShowMessage = 0,
    Restart = 1,
    SwitchOff = 2,
    OpenApp = 3,
};
