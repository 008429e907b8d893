#pragma once

// Dispatches the messages of this thread, as the program's message loop does, until none has
// arrived for idleMilliseconds.
void Pump(int idleMilliseconds = 30);
