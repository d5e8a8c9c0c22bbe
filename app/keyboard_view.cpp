#include "keyboard_view.h"

#include <algorithm>

#include "afx/afx.h"
#include "res/resource.h"

namespace {

template <class T>
bool Contains(const std::vector<T>& v, T x)
{
    return std::find(v.begin(), v.end(), x) != v.end();
}

}  // namespace

int RowOfKey(const std::vector<SKeyPair>& pairs, WORD wReal)
{
    for (size_t i = 0; i < pairs.size(); ++i) {
        if (pairs[i].wReal == wReal)
            return int(i);
    }
    return -1;
}

SMapView ViewOfMap(const std::vector<SKeyPlace>& layout, const std::vector<SKeyPair>& pairs)
{
    SMapView view;
    std::vector<WORD> targets;
    for (const SKeyPair& pair : pairs)
        targets.push_back(pair.wMapped);
    for (const SKeyPlace& key : layout) {
        SKeyState state = {key.wScancode ? LOOK_PLAIN : LOOK_NO_CODE, 0, false};
        const int nRow = key.wScancode ? RowOfKey(pairs, key.wScancode) : -1;
        if (nRow >= 0) {
            state.wMapped = pairs[nRow].wMapped;
            state.nLook = state.wMapped ? LOOK_MAPPED : LOOK_OFF;
            for (size_t j = nRow + 1; j < pairs.size(); ++j) {
                if (pairs[j].wReal == key.wScancode)
                    state.nLook = LOOK_CONFLICT;
            }
        }
        state.bTarget = key.wScancode && Contains(targets, key.wScancode);
        view.keys.push_back(state);
    }
    for (size_t i = 0; i < pairs.size(); ++i) {
        const WORD wReal = pairs[i].wReal;
        if (FindKey(layout, wReal) < 0)
            view.offPicture.push_back(int(i));
        // A key mapped elsewhere gives its code no more, unless another key
        // is mapped onto it; a key mapped onto itself keeps it.
        if (!Contains(targets, wReal) && !Contains(view.lostKeys, wReal))
            view.lostKeys.push_back(wReal);
    }
    return view;
}

int MapInEffect(const std::vector<ULONGLONG>& entryTimes, ULONGLONG nStartTime, bool bHistoryFull)
{
    if (entryTimes.empty())
        return MAP_UNKNOWN;
    if (entryTimes.front() < nStartTime)
        return MAP_IN_REGISTRY;
    // The oldest entry since the start; one older than the start must exist
    // too, or the history must be whole, for it to be the first change.
    int nFirst = 0;
    while (nFirst + 1 < int(entryTimes.size()) && entryTimes[nFirst + 1] >= nStartTime)
        ++nFirst;
    const bool bOlderKept = nFirst + 1 < int(entryTimes.size());
    return bOlderKept || !bHistoryFull ? nFirst : MAP_UNKNOWN;
}

std::vector<WORD> PhysicalKeys(WORD wSeen, const std::vector<SKeyPair>& inEffect)
{
    std::vector<WORD> keys;
    if (!wSeen)
        return keys;
    for (size_t i = 0; i < inEffect.size(); ++i) {
        const WORD wReal = inEffect[i].wReal;
        // Windows takes one entry for a key named twice: the first, as here.
        if (inEffect[i].wMapped == wSeen && RowOfKey(inEffect, wReal) == int(i) && !Contains(keys, wReal))
            keys.push_back(wReal);
    }
    if (RowOfKey(inEffect, wSeen) < 0 && !Contains(keys, wSeen))
        keys.push_back(wSeen);
    return keys;
}

void CKeyTaker::Start(const std::vector<DWORD>& heldVks)
{
    m_bActive = true;
    m_nEscapes = 0;
    m_heldVks = heldVks;
}

CKeyTaker::EVerdict CKeyTaker::OnKey(WORD wScancode, DWORD nVk, bool bDown)
{
    const std::vector<WORD>::iterator itTaken = std::find(m_takenDown.begin(), m_takenDown.end(), wScancode);
    const std::vector<DWORD>::iterator itHeld = std::find(m_heldVks.begin(), m_heldVks.end(), nVk);
    if (!bDown) {
        if (itTaken != m_takenDown.end()) {
            m_takenDown.erase(itTaken);
            return TAKE;
        }
        if (itHeld != m_heldVks.end())
            m_heldVks.erase(itHeld);
        return PASS;
    }
    const bool bRepeat = itTaken != m_takenDown.end();
    if (!bRepeat && itHeld != m_heldVks.end())
        return m_bActive ? TAKE : PASS;
    if (!m_bActive)
        return bRepeat ? TAKE : PASS;
    if (bRepeat)
        return TAKE;
    m_takenDown.push_back(wScancode);
    m_nEscapes = wScancode == 0x0100 ? m_nEscapes + 1 : 0;
    if (m_nEscapes == 2) {
        m_bActive = false;
        return END;
    }
    return SHOW;
}

namespace {

// Faces of keys, and the colours their mapped names are written in.
const COLORREF kBackground = RGB(214, 217, 222);
const COLORREF kFacePlain = RGB(252, 252, 252);
const COLORREF kFaceMapped = RGB(214, 232, 255);
const COLORREF kFaceOff = RGB(236, 236, 236);
const COLORREF kFaceConflict = RGB(255, 206, 150);
const COLORREF kFaceNoCode = RGB(196, 198, 202);
const COLORREF kFacePressed = RGB(255, 220, 40);
const COLORREF kFaceBecomes = RGB(140, 220, 140);
const COLORREF kTextPlain = RGB(0, 0, 0);
const COLORREF kTextMapped = RGB(0, 60, 190);
const COLORREF kTextOff = RGB(200, 0, 0);
const COLORREF kTextNoCode = RGB(120, 122, 126);
const COLORREF kTargetMark = RGB(0, 150, 60);
const COLORREF kEdge = RGB(120, 124, 130);

class CGdiObject
{
public:
    explicit CGdiObject(HGDIOBJ h) : m_h(h) {}
    ~CGdiObject() { if (m_h) ::DeleteObject(m_h); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    operator HGDIOBJ() const { return m_h; }
    HGDIOBJ m_h;
};

HFONT KeyFont(int nPx, UINT nDpi)
{
    return ::CreateFontW(-AfxScaleForDpi(nPx, nDpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH,
                         L"굴림");
}

// One line, centred, in the font selected or, where it does not fit, in
// hSmall; what does not fit even so ends in an ellipsis after a whole character.
void DrawLine(HDC hdc, const std::wstring& str, RECT rc, COLORREF crText, HGDIOBJ hSmall)
{
    ::SetTextColor(hdc, crText);
    SIZE size = {};
    ::GetTextExtentPoint32W(hdc, str.c_str(), int(str.size()), &size);
    const HGDIOBJ hOld = size.cx > rc.right - rc.left ? ::SelectObject(hdc, hSmall) : NULL;
    ::DrawTextW(hdc, str.c_str(), int(str.size()), &rc,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (hOld)
        ::SelectObject(hdc, hOld);
}

}  // namespace

int KeyboardMargin(UINT nDpi)
{
    return AfxScaleForDpi(8, nDpi);
}

HBITMAP RenderKeyboard(HDC hdc, const std::vector<SKeyPlace>& layout, CLutrovaneBase& table,
                       CLutrovaneBase& catalogue, const SMapView& view, const SLit& lit, int nFocus,
                       UINT nDpi)
{
    const int nMargin = KeyboardMargin(nDpi);
    const SIZE size = PictureSize(layout, nDpi);
    const HBITMAP hBitmap = ::CreateCompatibleBitmap(hdc, size.cx + 2 * nMargin, size.cy + 2 * nMargin);
    const HDC hdcMem = ::CreateCompatibleDC(hdc);
    if (!hBitmap || !hdcMem) {
        if (hBitmap)
            ::DeleteObject(hBitmap);
        if (hdcMem)
            ::DeleteDC(hdcMem);
        return NULL;
    }
    const HGDIOBJ hOldBitmap = ::SelectObject(hdcMem, hBitmap);
    const RECT rcAll = {0, 0, size.cx + 2 * nMargin, size.cy + 2 * nMargin};
    const CGdiObject brushBack(::CreateSolidBrush(kBackground));
    ::FillRect(hdcMem, &rcAll, HBRUSH(HGDIOBJ(brushBack)));

    const CGdiObject fontLabel(KeyFont(10, nDpi)), fontMapped(KeyFont(9, nDpi)), fontSmall(KeyFont(8, nDpi));
    const CGdiObject penEdge(::CreatePen(PS_SOLID, 1, kEdge));
    const CGdiObject penOff(::CreatePen(PS_SOLID, AfxScaleForDpi(1, nDpi), kTextOff));
    const HGDIOBJ hOldFont = ::SelectObject(hdcMem, fontLabel);
    const HGDIOBJ hOldPen = ::SelectObject(hdcMem, penEdge);
    ::SetBkMode(hdcMem, TRANSPARENT);
    const std::wstring strOff = AfxLoadStringW(IDS_KEY_OFF), strConflict = AfxLoadStringW(IDS_VIEW_CONFLICT);
    const int nGap = AfxScaleForDpi(1, nDpi), nRound = AfxScaleForDpi(4, nDpi);

    for (size_t i = 0; i < layout.size() && i < view.keys.size(); ++i) {
        const SKeyPlace& key = layout[i];
        const SKeyState& state = view.keys[i];
        RECT rc = KeyRect(key, nDpi);
        ::OffsetRect(&rc, nMargin, nMargin);
        ::InflateRect(&rc, -nGap, -nGap);

        COLORREF crFace = state.nLook == LOOK_MAPPED     ? kFaceMapped
                          : state.nLook == LOOK_OFF      ? kFaceOff
                          : state.nLook == LOOK_CONFLICT ? kFaceConflict
                          : state.nLook == LOOK_NO_CODE  ? kFaceNoCode
                                                         : kFacePlain;
        if (key.wScancode && Contains(lit.pressed, key.wScancode))
            crFace = kFacePressed;
        else if (key.wScancode && Contains(lit.becomes, key.wScancode))
            crFace = kFaceBecomes;
        const CGdiObject brushFace(::CreateSolidBrush(crFace));
        const HGDIOBJ hOldBrush = ::SelectObject(hdcMem, brushFace);
        ::RoundRect(hdcMem, rc.left, rc.top, rc.right, rc.bottom, nRound, nRound);
        ::SelectObject(hdcMem, hOldBrush);

        RECT rcText = rc;
        ::InflateRect(&rcText, -nGap, 0);
        const std::wstring strLabel = KeyLegend(key, Cp949ToWide(table.GetKeyName(key.wScancode)).c_str());
        if (state.nLook == LOOK_PLAIN || state.nLook == LOOK_NO_CODE) {
            ::SelectObject(hdcMem, fontLabel);
            DrawLine(hdcMem, strLabel, rcText, state.nLook == LOOK_NO_CODE ? kTextNoCode : kTextPlain, fontSmall);
        } else {
            RECT rcTop = rcText, rcBottom = rcText;
            rcTop.bottom = rcBottom.top = (rc.top + rc.bottom) / 2;
            ::SelectObject(hdcMem, fontLabel);
            DrawLine(hdcMem, strLabel, rcTop, kTextPlain, fontSmall);
            ::SelectObject(hdcMem, fontMapped);
            if (state.nLook == LOOK_OFF) {
                const HGDIOBJ hPen = ::SelectObject(hdcMem, penOff);
                ::MoveToEx(hdcMem, rc.left + nRound, rc.top + nRound, NULL);
                ::LineTo(hdcMem, rc.right - nRound, rc.bottom - nRound);
                ::MoveToEx(hdcMem, rc.right - nRound, rc.top + nRound, NULL);
                ::LineTo(hdcMem, rc.left + nRound, rc.bottom - nRound);
                ::SelectObject(hdcMem, hPen);
            }
            const std::wstring strBottom = state.nLook == LOOK_OFF        ? strOff
                                           : state.nLook == LOOK_CONFLICT ? strConflict
                                                                          : Cp949ToWide(GetKeyNameWithCode(catalogue, state.wMapped));
            DrawLine(hdcMem, strBottom, rcBottom, state.nLook == LOOK_MAPPED ? kTextMapped : kTextOff, fontSmall);
        }
        if (state.bTarget) {
            // A corner in the mark's colour: some key becomes this one.
            const int n = AfxScaleForDpi(6, nDpi);
            const POINT corner[3] = {{rc.right - n - nGap, rc.top + nGap}, {rc.right - nGap, rc.top + nGap},
                                     {rc.right - nGap, rc.top + n + nGap}};
            const CGdiObject brushMark(::CreateSolidBrush(kTargetMark));
            const HGDIOBJ hOldMark = ::SelectObject(hdcMem, brushMark);
            ::Polygon(hdcMem, corner, 3);
            ::SelectObject(hdcMem, hOldMark);
        }
        if (int(i) == nFocus) {
            RECT rcFocus = rc;
            ::InflateRect(&rcFocus, -2 * nGap, -2 * nGap);
            ::DrawFocusRect(hdcMem, &rcFocus);
        }
    }
    ::SelectObject(hdcMem, hOldPen);
    ::SelectObject(hdcMem, hOldFont);
    ::SelectObject(hdcMem, hOldBitmap);
    ::DeleteDC(hdcMem);
    return hBitmap;
}
