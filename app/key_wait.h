// What a low-level keyboard hook that waits for one key press does with each
// key event: takes it, keeps it from Windows, or lets it through. No window
// and no hook here: the hook asks, and acts on the answer.
#pragma once

#include <windows.h>

#include <vector>

class CKeyWait
{
public:
    enum EAction { kPass, kKeep, kTake };

    // Waits for a key; keysHeld: the keys down at this moment, which
    // cannot be taken until they have been let go.
    void Start(const std::vector<UINT>& keysHeld);
    // Takes nothing more; keys kept down stay kept until they are up.
    void Stop() { m_bWaiting = false; }
    // A key event as the hook sees it; nKey names the key in press and release alike.
    EAction OnKey(UINT nKey, bool bDown);
    bool IsWaiting() const { return m_bWaiting; }
    // No wait and no key kept down: the hook may go.
    bool IsDone() const { return !m_bWaiting && m_keysKept.empty(); }
    // Every key kept down counted as let go (the hook goes while they are down).
    void Clear();

    // The keys down now, as a low-level hook names them (virtual-key codes).
    static std::vector<UINT> KeysDownNow();

private:
    bool m_bWaiting = false;
    std::vector<UINT> m_keysHeld;  // down before the wait: Windows saw their press
    std::vector<UINT> m_keysKept;  // pressed since and kept from Windows: so is their release
};
