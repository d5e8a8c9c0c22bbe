// What the keyboard picture shows for a map, and what the try-it mode makes
// of each key event: pure functions over the layout and the pairs, tested
// without a window; and the picture itself drawn into a bitmap.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "keyboard_layouts.h"
#include "lutrovane_core.h"

// One row of the list, or one entry of a map: the key pressed and the key
// Windows is to see instead (0: none, the key is off).
struct SKeyPair
{
    WORD wReal;
    WORD wMapped;
};

// What one key of the picture shows.
enum EKeyLook
{
    LOOK_PLAIN,     // no row for it
    LOOK_MAPPED,    // a row makes it wMapped
    LOOK_OFF,       // a row turns it off
    LOOK_CONFLICT,  // two rows name it
    LOOK_NO_CODE,   // the table lacks the key: greyed, does nothing
};
struct SKeyState
{
    EKeyLook nLook;
    WORD wMapped;  // LOOK_MAPPED: what the key becomes
    bool bTarget;  // some key's row makes it this key
};

struct SMapView
{
    std::vector<SKeyState> keys;  // one per place of the layout
    std::vector<int> offPicture;  // rows whose real key has no place
    std::vector<WORD> lostKeys;   // codes that no key gives once the map is in effect
};
SMapView ViewOfMap(const std::vector<SKeyPlace>& layout, const std::vector<SKeyPair>& pairs);

// The row that decides what wReal becomes (the first, as Modify takes it), or -1.
int RowOfKey(const std::vector<SKeyPair>& pairs, WORD wReal);

// Which map Windows loaded at its start, from the history's times (newest
// first, FILETIME units) and the start time: MAP_IN_REGISTRY when nothing
// changed since, an entry's index when that entry is the first change since
// (it holds the value the change replaced), MAP_UNKNOWN when the history
// cannot show it (none kept, or the oldest kept is newer than the start and
// older entries were dropped).
const int MAP_IN_REGISTRY = -1;
const int MAP_UNKNOWN = -2;
int MapInEffect(const std::vector<ULONGLONG>& entryTimes, ULONGLONG nStartTime, bool bHistoryFull);

// The physical keys that make Windows report wSeen under the map in effect:
// those a pair makes wSeen, and wSeen itself unless a pair takes it away.
std::vector<WORD> PhysicalKeys(WORD wSeen, const std::vector<SKeyPair>& inEffect);

// The try-it mode's keyboard: which events it keeps from Windows. A key taken
// down is kept until it is up; a key held when the mode starts is not taken
// (its repeats are kept, its release passes), so none is left stuck down.
class CKeyTaker
{
public:
    enum EVerdict { PASS, TAKE, SHOW, END };  // SHOW and END are taken too

    // heldVks: the virtual keys down when the mode starts.
    void Start(const std::vector<DWORD>& heldVks);
    void Stop() { m_bActive = false; }
    EVerdict OnKey(WORD wScancode, DWORD nVk, bool bDown);
    bool IsActive() const { return m_bActive; }
    // The hook may go once this is false.
    bool NeedsHook() const { return m_bActive || !m_takenDown.empty(); }

private:
    bool m_bActive = false;
    int m_nEscapes = 0;              // Esc presses in a row; two end the mode
    std::vector<WORD> m_takenDown;   // taken key-downs whose key-up is due
    std::vector<DWORD> m_heldVks;    // down before the mode began, not yet up
};

// How a key is drawn now in the try-it mode.
struct SLit
{
    std::vector<WORD> pressed;  // physical keys lit
    std::vector<WORD> becomes;  // the keys they become, lit in the other colour
};

// The picture of nType's keyboard at nDpi with the map on it, the lit keys
// and the focus (a place's index, or -1): a bitmap compatible with hdc, of
// PictureSize plus KeyboardMargin on each side; NULL when GDI fails. Key
// names come from the keyboard's table, mapped names from the catalogue.
int KeyboardMargin(UINT nDpi);
HBITMAP RenderKeyboard(HDC hdc, const std::vector<SKeyPlace>& layout, CLutrovaneBase& table,
                       CLutrovaneBase& catalogue, const SMapView& view, const SLit& lit, int nFocus,
                       UINT nDpi);
