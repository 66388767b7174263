#include "app/game/Kvwavescene.h"

#include "app/mainform/ProgramEnd.h"
#include "platform/ui/MessageBox.h"

#include <exception>
#include <string>

bool InitKVWaveScene(std::uint32_t bufferMs)
{
    std::string message;
    try {
        WaveScene.SetSceneFormat(44100, 16, 2, bufferMs);
        WaveScene.SetoutputDevice(TWaveScene::OutputDevice, "0");
        WaveScene.Play();
        return true;
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unknown error";
    }
    (void)MessageBox("InitKVWaveScene: " + message, std::string(), MB_OK | MB_ICONERROR);
    EndProgram(0);
    return false;
}

bool HasInstance(const std::string& name)
{
    TCriticalSection& lock = WaveScene.GetLock();
    lock.Enter();
    const bool found = WaveScene.FindInstancePtr(name) != nullptr;
    lock.Leave();
    return found;
}
