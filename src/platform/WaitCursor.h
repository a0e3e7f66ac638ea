// Shows the wait cursor for the lifetime of the object (long operations on the interface thread).
#pragma once

class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    // Ends the wait early, before a message the user must answer with the ordinary pointer.
    void Release();

private:
    bool m_active = false;
};
