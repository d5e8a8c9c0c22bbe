#include "key_wait.h"

#include <algorithm>

namespace {

bool Erase(std::vector<UINT>& keys, UINT nKey)
{
    const std::vector<UINT>::iterator it = std::find(keys.begin(), keys.end(), nKey);
    if (it == keys.end())
        return false;
    keys.erase(it);
    return true;
}

}  // namespace

void CKeyWait::Start(const std::vector<UINT>& keysHeld)
{
    m_bWaiting = true;
    m_keysHeld = keysHeld;
}

void CKeyWait::Clear()
{
    m_bWaiting = false;
    m_keysHeld.clear();
    m_keysKept.clear();
}

CKeyWait::EAction CKeyWait::OnKey(UINT nKey, bool bDown)
{
    // A hook cannot tell a key's repeat from a new press. A key held before
    // the wait (Shift, or the Enter that pressed the button) repeats: its
    // repeats are kept, lest the dialog act on them or take them for a
    // press, and its release goes through, as Windows saw it go down.
    if (!bDown) {
        if (Erase(m_keysHeld, nKey))
            return kPass;
        // A key taken, or pressed while one was down, is kept whole:
        // Windows never sees half a key press.
        return Erase(m_keysKept, nKey) ? kKeep : kPass;
    }
    if (std::find(m_keysHeld.begin(), m_keysHeld.end(), nKey) != m_keysHeld.end())
        return kKeep;
    if (std::find(m_keysKept.begin(), m_keysKept.end(), nKey) == m_keysKept.end())
        m_keysKept.push_back(nKey);
    if (!m_bWaiting)
        return kKeep;
    m_bWaiting = false;
    return kTake;
}

std::vector<UINT> CKeyWait::KeysDownNow()
{
    // Both the key's own code (VK_LSHIFT) and the shared one (VK_SHIFT) read
    // as down: whichever the hook reports is found.
    std::vector<UINT> keys;
    for (UINT nVk = 1; nVk < 255; ++nVk) {
        if (::GetAsyncKeyState(int(nVk)) & 0x8000)
            keys.push_back(nVk);
    }
    return keys;
}
