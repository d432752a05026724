// The screen cursor during a connect.
#pragma once

namespace db {

// Shows the wait cursor, only when the switch is on.
void showBusyCursor(bool enabled);
// Back to the default cursor, whatever was set before and whatever the switch.
void resetCursor();

// Resets the cursor when it goes out of scope, also on error.
class CursorReset {
public:
    CursorReset() = default;
    ~CursorReset() { resetCursor(); }
    CursorReset(const CursorReset&) = delete;
    CursorReset& operator=(const CursorReset&) = delete;
};

}  // namespace db
