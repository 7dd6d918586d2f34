#pragma once
// GMime is started once per process, from whichever thread first needs it,
// and its objects are released by scope rather than by hand.

// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gmime/gmime.h>
#pragma pop_macro("signals")

#include <utility>

namespace Mime
{

// Calls g_mime_init() the first time; safe from any thread.
void ensureGMime();

// Owns one reference of a GObject.
template <class T> class GMimeRef
{
public:
    explicit GMimeRef(T* object = nullptr) : m_object(object) {}
    GMimeRef(const GMimeRef&) = delete;
    GMimeRef& operator=(const GMimeRef&) = delete;
    GMimeRef(GMimeRef&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    ~GMimeRef()
    {
        if (m_object)
            g_object_unref(m_object);
    }
    T* get() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

private:
    T* m_object;
};

} // namespace Mime
