#pragma once
// A resident program gives back what it freed. The C library keeps freed
// memory for later use, so the resident size of a program that opened a
// large message once would stay at that peak for weeks.

namespace Memory
{
// Returns the free memory the C library holds to the system (glibc; a no-op
// elsewhere).
void releaseFreed();
} // namespace Memory
