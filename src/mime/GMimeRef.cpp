#include "mime/GMimeRef.h"

#include <mutex>

namespace Mime
{

void ensureGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

} // namespace Mime
