#pragma once
// Every window but the viewer has one program-wide default instance, created
// (hidden) the first time any code asks for it and kept until the program ends.
// The instance is never deleted during a run: the orderly exit ends the process
// without tearing windows down, so no close handler can run a second time.

template <class Window> class DefaultInstance
{
public:
    static Window& get()
    {
        if (!s_instance)
            s_instance = new Window();
        return *s_instance;
    }
    static bool exists() { return s_instance != nullptr; }

    // Unload: the window goes (deleted once control returns to the event
    // loop) and the next get() makes a new one.
    static void release()
    {
        if (s_instance)
            s_instance->deleteLater();
        s_instance = nullptr;
    }

    // Tests only: drop the instance so the next get() makes a fresh one.
    static void destroyForTest()
    {
        delete s_instance;
        s_instance = nullptr;
    }

private:
    static inline Window* s_instance = nullptr;
};
