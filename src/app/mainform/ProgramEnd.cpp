#include "app/mainform/ProgramEnd.h"

#include "sound/TWaveScene.h"

#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

TProgramEndHandler& Handler()
{
    static TProgramEndHandler handler;
    return handler;
}

struct Steps {
    std::map<int, std::function<void()>> byId;
    int next = 1;
};

Steps& EndSteps()
{
    static Steps steps;
    return steps;
}

}  // namespace

void EndProgram(int exitCode)
{
    if (Handler()) {
        // A copy: the handler may replace itself.
        const TProgramEndHandler handler = Handler();
        handler(exitCode);
        return;
    }
    EndProgramOrderly(exitCode);
}

void EndProgramOrderly(int exitCode)
{
    Steps& steps = EndSteps();
    for (auto it = steps.byId.rbegin(); it != steps.byId.rend(); ++it) {
        try {
            it->second();
        } catch (...) {
        }
    }
    try {
        WaveScene.Clear();
        // Stops and joins the writer's thread and closes the device before the process goes.
        WaveScene.SetWriter(nullptr, std::string());
    } catch (...) {
    }
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(exitCode);
}

TProgramEndHandler SetProgramEndHandler(TProgramEndHandler handler)
{
    TProgramEndHandler old = std::move(Handler());
    Handler() = std::move(handler);
    return old;
}

int AddProgramEndStep(std::function<void()> step)
{
    Steps& steps = EndSteps();
    const int id = steps.next++;
    steps.byId[id] = std::move(step);
    return id;
}

void RemoveProgramEndStep(int id)
{
    EndSteps().byId.erase(id);
}
