#include "core/ProgramExit.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace ProgramExit
{
namespace
{

std::vector<std::function<void()>>& cleanups()
{
    static std::vector<std::function<void()>> list;
    return list;
}

void terminateProcess()
{
    std::fflush(nullptr);
    // Like the toolkit's End: no destructor, no close handler, no event runs.
    std::_Exit(0);
}

std::function<void()>& terminator()
{
    static std::function<void()> t = terminateProcess;
    return t;
}

bool s_ending = false;

} // namespace

void addCleanup(std::function<void()> cleanup)
{
    cleanups().push_back(std::move(cleanup));
}

void setTerminator(std::function<void()> t)
{
    terminator() = std::move(t);
}

void end()
{
    if (s_ending)
        return;
    s_ending = true;
    for (auto& cleanup : cleanups())
        cleanup();
    terminator()();
}

bool ending()
{
    return s_ending;
}

void resetForTest()
{
    s_ending = false;
    cleanups().clear();
    terminator() = terminateProcess;
}

} // namespace ProgramExit
